#include "platform/firefox/FirefoxFolders.h"

#include <dirent.h>

#include <algorithm>
#include <array>
#include <memory>

#include "ground/AsciiText.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/Paths.h"
#include "platform/firefox/Cache2EntryFile.h"
#include "platform/firefox/Cache2Format.h"
#include "platform/firefox/CacheV1Format.h"

namespace pellimor {

namespace firefox {

namespace {

// How many candidate files a recogniser opens before it gives up on a folder.
constexpr std::size_t kFilesToTry = 8;

// The first bytes of a block file a recogniser looks through for a record.
constexpr std::uint64_t kBlockBytesToTry = 1024 * 1024;

bool HoldsEntryFile(const std::string& folder) {
    const auto root = ResolveFolder(folder);
    if (!root) {
        return false;
    }
    std::size_t tried = 0;
    for (const std::string& name : NamesIn(*root)) {
        if (!cache2::IsEntryName(name)) {
            continue;
        }
        if (tried++ == kFilesToTry) {
            return false;
        }
        const std::string path = *root + "/" + name;
        const auto opened = OpenWithin(path, *root);
        if (opened && cache2::ReadEntryFile(*opened, path)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) {
        return names;
    }
    while (const dirent* item = readdir(dir.get())) {
        const std::string_view name = item->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> FindIgnoringCase(const std::string& folder, std::string_view name) {
    std::optional<std::string> found;
    for (const std::string& candidate : NamesIn(folder)) {
        if (candidate == name) {
            return candidate;
        }
        if (!found && EqualIgnoringCase(candidate, name)) {
            found = candidate;
        }
    }
    return found;
}

}  // namespace firefox

bool IsFirefoxCache2(const std::string& folder) {
    if (const auto entries = firefox::FindIgnoringCase(folder, "entries");
        entries && IsFolder(folder + "/" + *entries)) {
        return firefox::FindIgnoringCase(folder, "index").has_value() ||
               firefox::HoldsEntryFile(folder + "/" + *entries);
    }
    return firefox::HoldsEntryFile(folder);
}

bool IsFirefoxCacheV1(const std::string& folder) {
    const auto root = ResolveFolder(folder);
    if (!root) {
        return false;
    }
    if (const auto map = firefox::FindIgnoringCase(*root, firefox::v1::kMapFileName)) {
        const auto bytes = ReadWithin(*root + "/" + *map, *root, firefox::v1::kMaxMapSize);
        if (bytes && firefox::v1::ParseMap(std::span(
                         reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()))) {
            return true;
        }
    }
    for (std::uint32_t index = 1; index <= firefox::v1::kBlockFileCount; ++index) {
        const auto name = firefox::FindIgnoringCase(*root, firefox::v1::BlockFileName(index));
        if (!name) {
            continue;
        }
        const auto opened = OpenWithin(*root + "/" + *name, *root);
        if (!opened) {
            continue;
        }
        std::string bytes(
            static_cast<std::size_t>(std::min(opened->size, firefox::kBlockBytesToTry)), '\0');
        if (!ReadFully(opened->fd.get(), reinterpret_cast<std::uint8_t*>(bytes.data()),
                       bytes.size(), *name)) {
            continue;
        }
        bool found = false;
        firefox::v1::ScanBlockFile(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), index,
            [&found](const firefox::v1::FoundRecord&) {
                found = true;
                return false;
            });
        if (found) {
            return true;
        }
    }
    return false;
}

}  // namespace pellimor
