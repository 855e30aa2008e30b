#include "platform/webcache/WebCacheRows.h"

#include <algorithm>
#include <map>

#include "ground/AsciiText.h"
#include "platform/firefox/ResponseHead.h"

namespace pellimor::webcache {

namespace {

// FILETIME counts 100 ns steps from 1601; Unix time seconds from 1970.
constexpr std::uint64_t kFiletimePerSecond = 10'000'000;
constexpr std::uint64_t kSecondsFrom1601To1970 = 11'644'473'600;
// Windows writes the folder names eight characters long.
constexpr std::size_t kFolderNameLength = 8;
// Longer than any name a file system keeps: such a row is not Windows' own.
constexpr std::size_t kLongestName = 255;

std::vector<std::string_view> Split(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find('\\', start);
        parts.push_back(path.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    if (parts.size() > 1 && parts.back().empty()) {
        parts.pop_back();  // the trailing backslash Windows writes
    }
    return parts;
}

bool IsDrive(std::string_view part) {
    return part.size() == 2 && part[1] == ':' &&
           ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z'));
}

// Why a name may not be used as one name in a folder here; empty when it may.
std::string NameProblem(std::string_view name) {
    if (name.empty()) {
        return "an empty name";
    }
    if (name == "." || name == "..") {
        return "the name \"" + std::string(name) + "\"";
    }
    if (name.size() > kLongestName) {
        return "a name longer than " + std::to_string(kLongestName) + " bytes";
    }
    for (const char c : name) {
        if (c == '\0') {
            return "a NUL in a name";
        }
        if (c == '/' || c == '\\') {
            return "a path separator in the name \"" + std::string(name) + "\"";
        }
        if (c == ':') {
            return "a drive or stream name in \"" + std::string(name) + "\"";
        }
    }
    return {};
}

// The user's name in a Directory of the form "X:\Users\<name>\...", or empty.
std::string_view UserNameOf(std::string_view directory) {
    const std::vector<std::string_view> parts = Split(directory);
    if (parts.size() < 3 || !IsDrive(parts[0]) || !EqualIgnoringCase(parts[1], "users")) {
        return {};
    }
    return parts[2];
}

bool IsEdgePackage(std::string_view directory) {
    return LoweredAscii(directory).find("\\microsoft.microsoftedge_") != std::string::npos;
}

}  // namespace

std::optional<UnixTime> UnixTimeOfFiletime(std::uint64_t filetime) {
    if (filetime == 0) {
        return std::nullopt;
    }
    const std::uint64_t seconds = filetime / kFiletimePerSecond;
    return static_cast<UnixTime>(seconds) - static_cast<UnixTime>(kSecondsFrom1601To1970);
}

std::string WindowsUserName(const std::vector<ContainerRow>& containers,
                            std::string_view localUserName) {
    std::map<std::string, std::pair<std::size_t, std::string>> counts;  // by lowered name
    std::string best;
    std::size_t bestCount = 0;
    for (const ContainerRow& row : containers) {
        const std::string_view name = UserNameOf(row.directory);
        if (name.empty() || !NameProblem(name).empty()) {
            continue;
        }
        if (EqualIgnoringCase(name, localUserName)) {
            return std::string(name);
        }
        auto& [count, spelling] = counts[LoweredAscii(name)];
        if (count++ == 0) {
            spelling = std::string(name);
        }
        if (count > bestCount) {
            bestCount = count;
            best = spelling;
        }
    }
    return best;
}

Result<std::vector<std::string>> NamesBelowUserFolder(std::string_view directory,
                                                      std::string_view userName) {
    const std::vector<std::string_view> parts = Split(directory);
    if (userName.empty() || parts.size() < 3 || !IsDrive(parts[0]) ||
        !EqualIgnoringCase(parts[1], "users") || !EqualIgnoringCase(parts[2], userName)) {
        return Fail("its folder " + std::string(directory) + " is outside the user folder");
    }
    std::vector<std::string> names;
    for (std::size_t i = 3; i < parts.size(); ++i) {
        if (const std::string problem = NameProblem(parts[i]); !problem.empty()) {
            return Fail("its folder " + std::string(directory) + " has " + problem);
        }
        names.emplace_back(parts[i]);
    }
    return names;
}

bool HoldsBodies(const ContainerRow& row) {
    if (EqualIgnoringCase(row.name, "content")) {
        return true;
    }
    const std::vector<std::string_view> parts = Split(row.directory);
    return !parts.empty() && EqualIgnoringCase(parts.back(), "cache") &&
           IsEdgePackage(row.directory);
}

std::optional<ContentContainer> ContentContainerOf(const ContainerRow& row,
                                                   std::string_view userName) {
    if (!HoldsBodies(row)) {
        return std::nullopt;
    }
    auto names = NamesBelowUserFolder(row.directory, userName);
    const std::vector<std::string> relative =
        names.ok() ? names.value() : std::vector<std::string>{};
    const bool edge = IsEdgePackage(row.directory);
    ContentContainer container;
    container.id = row.id;
    container.sourceName = edge ? kEdgeSource : kInternetExplorerSource;
    if (!names.ok()) {
        container.refused = names.error();
        return container;
    }
    container.relative = relative;
    const std::string_view all = row.secureDirectories;
    if (all.size() % kFolderNameLength != 0) {
        container.refused =
            "its folder list \"" + std::string(all) + "\" is not made of 8-character names";
        return container;
    }
    for (std::size_t at = 0; at < all.size(); at += kFolderNameLength) {
        container.folders.emplace_back(all.substr(at, kFolderNameLength));
    }
    return container;
}

Status CheckFileName(std::string_view filename) {
    if (const std::string problem = NameProblem(filename); !problem.empty()) {
        return Fail("its file name has " + problem);
    }
    return Done{};
}

Result<std::string> FolderOf(const ContentContainer& container, std::optional<std::int64_t> index) {
    if (!index || *index < 1 || static_cast<std::uint64_t>(*index) > container.folders.size()) {
        return Fail("its folder number " +
                    (index ? std::to_string(*index) : std::string("(none)")) +
                    " is not one of the container's " + std::to_string(container.folders.size()) +
                    " folders");
    }
    const std::string& name = container.folders[static_cast<std::size_t>(*index - 1)];
    const bool plain = std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    if (!plain) {
        return Fail("its folder name \"" + name + "\" is not made of letters and digits");
    }
    return name;
}

CacheEntry EntryOfRow(const ContentContainer& container, const ContentRow& row,
                      const std::string& location) {
    CacheEntry entry;
    entry.id = {location, "Container_" + std::to_string(container.id),
                static_cast<std::uint64_t>(row.entryId)};
    entry.sourceName = container.sourceName;
    entry.kind = EntryKind::kDocument;
    entry.url = row.url;
    entry.lastModified = UnixTimeOfFiletime(row.modified);
    entry.lastAccess = UnixTimeOfFiletime(row.accessed);
    entry.expires = UnixTimeOfFiletime(row.expiry);
    entry.size = row.fileSize;
    entry.headers = row.responseHeaders;
    const firefox::ResponseFacts facts = firefox::FactsOf(row.responseHeaders);
    entry.contentType = facts.contentType;
    // WinINet keeps the body decoded, whatever encoding the server sent it in.
    entry.storedName = row.filename.value_or(std::string());
    if (!container.refused.empty()) {
        entry.unreadable = "its container is not read: " + container.refused;
    } else if (!row.filename) {
        entry.unreadable = "the entry names no file";
    } else if (Status name = CheckFileName(*row.filename); !name.ok()) {
        entry.unreadable = name.error();
    } else if (auto folder = FolderOf(container, row.secureDirectory); !folder.ok()) {
        entry.unreadable = folder.error();
    }
    return entry;
}

}  // namespace pellimor::webcache
