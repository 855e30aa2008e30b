#include "platform/webcache/WebCacheSource.h"

#include <unistd.h>

#include <algorithm>
#include <array>

#include "ground/AsciiText.h"
#include "platform/webcache/EseHeader.h"
#include "platform/webcache/WebCacheRows.h"

namespace pellimor::webcache {

namespace {

// Windows' own names, the current first.
constexpr std::array<const char*, 2> kDatabaseNames = {"WebCacheV01.dat", "WebCacheV24.dat"};
// Where the WebCache folder sits below the user folder.
constexpr std::array<std::string_view, 5> kBelowUserFolder = {"appdata", "local", "microsoft",
                                                              "windows", "webcache"};
constexpr std::size_t kBodyStartSize = 8;

bool LooksLikeSwf(std::string_view bytes) {
    return bytes.size() >= 4 &&
           (bytes.starts_with("FWS") || bytes.starts_with("CWS") || bytes.starts_with("ZWS")) &&
           static_cast<unsigned char>(bytes[3]) >= 1 && static_cast<unsigned char>(bytes[3]) <= 50;
}

// Up to size bytes from the start of a regular file open for reading.
std::string FirstBytes(int fd, std::size_t size) {
    std::string bytes(size, '\0');
    const ssize_t got = ::pread(fd, bytes.data(), size, 0);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

// The user folder above a resolved WebCache folder, when it lies where Windows puts it.
std::string UserFolderOf(const std::string& location) {
    std::string folder = location;
    for (auto name = kBelowUserFolder.rbegin(); name != kBelowUserFolder.rend(); ++name) {
        const std::size_t slash = folder.rfind('/');
        if (slash == std::string::npos || slash == 0 ||
            LoweredAscii(std::string_view(folder).substr(slash + 1)) != *name) {
            return {};
        }
        folder.resize(slash);
    }
    return folder;
}

std::optional<std::string> DatabaseIn(const CaseBlindFolder& folder) {
    for (const char* name : kDatabaseNames) {
        if (auto found = folder.Find(name)) {
            return found;
        }
    }
    return std::nullopt;
}

}  // namespace

bool IsWebCacheFolder(const std::string& folder) {
    auto opened = CaseBlindFolder::Open(folder);
    return opened.ok() && DatabaseIn(opened.value()).has_value();
}

WebCacheSource::WebCacheSource(std::string location, std::string userFolder, Rows rows)
    : location_(std::move(location)), userFolder_(std::move(userFolder)), rows_(std::move(rows)) {}

Result<std::unique_ptr<WebCacheSource>> WebCacheSource::WithRows(const std::string& folder,
                                                                 Rows rows) {
    const std::optional<std::string> resolved = ResolveFolder(folder);
    if (!resolved) {
        return Fail(folder + " is no folder");
    }
    return std::unique_ptr<WebCacheSource>(
        new WebCacheSource(*resolved, UserFolderOf(*resolved), std::move(rows)));
}

Result<std::unique_ptr<WebCacheSource>> WebCacheSource::Open(const std::string& folder) {
    auto webCache = CaseBlindFolder::Open(folder);
    if (!webCache.ok()) {
        return Fail(webCache.error());
    }
    const std::optional<std::string> name = DatabaseIn(webCache.value());
    if (!name) {
        return Fail(folder + " has no WebCacheV01.dat");
    }
    auto database = OpenFileIn(webCache.value(), *name);
    if (!database.ok()) {
        return Fail(database.error());
    }
    const std::string first = FirstBytes(database->fd.get(), kEseHeaderSize);
    if (auto header = ParseEseHeader(
            std::span(reinterpret_cast<const std::uint8_t*>(first.data()), first.size()));
        !header.ok()) {
        return Fail(database->path + ": " + header.error());
    }
    const std::string path = database->path;
    auto shared = std::make_shared<UniqueFd>(std::move(database->fd));
    Rows rows = [shared, path](const TableVisitor& visit) -> Status {
        const std::string first = FirstBytes(shared->get(), kEseHeaderSize);
        auto header = ParseEseHeader(
            std::span(reinterpret_cast<const std::uint8_t*>(first.data()), first.size()));
        if (!header.ok()) {
            visit.containers({});
            return Fail(path + ": " + header.error());
        }
        Status read = ReadTables(shared->get(), visit);
        std::string problems = read.ok() ? std::string() : path + ": " + read.error();
        if (header->NotClosedCleanly()) {
            problems += (problems.empty() ? "" : "\n") + path +
                        " was not closed cleanly (copied while Windows used it): entries may be "
                        "missing, since its newest changes may be only in the V01*.log files "
                        "beside it, which are not read";
        }
        if (!problems.empty()) {
            return Fail(problems);
        }
        return Done{};
    };
    auto source = WithRows(folder, std::move(rows));
    if (source.ok()) {
        source.value()->database_ = path;
    }
    return source;
}

namespace {

// Per container: what its rows say, and its folders once found (index in folders_).
struct Prepared {
    ContentContainer container;
    std::optional<CaseBlindFolder> folder;
    std::map<std::string, Result<std::size_t>> subfolders;
};

// The index in folders of the container's sub-folder name, opened the first time it is asked
// for, or why it could not be.
const Result<std::size_t>& SubfolderIndex(Prepared& p, const std::string& name,
                                          std::vector<CaseBlindFolder>& folders) {
    auto sub = p.subfolders.find(LoweredAscii(name));
    if (sub == p.subfolders.end()) {
        auto opened = p.folder->Sub(name);
        Result<std::size_t> index = Fail(opened.ok() ? std::string() : opened.error());
        if (opened.ok()) {
            folders.push_back(std::move(opened).value());
            index = folders.size() - 1;
        }
        sub = p.subfolders.emplace(LoweredAscii(name), std::move(index)).first;
    }
    return sub->second;
}

}  // namespace

Status WebCacheSource::Enumerate(const std::function<bool(const CacheEntry&)>& visit) {
    folders_.clear();
    stored_.clear();
    named_.clear();
    read_ = true;
    std::map<std::int64_t, Prepared> prepared;
    std::optional<CaseBlindFolder> user;
    std::string userProblem;
    if (userFolder_.empty()) {
        userProblem = "the user folder is not known: " + location_ +
                      " is not in a user's AppData/Local/Microsoft/Windows";
    } else if (auto opened = CaseBlindFolder::Open(userFolder_); opened.ok()) {
        user.emplace(std::move(opened).value());
    } else {
        userProblem = opened.error();
    }
    const std::string localName = userFolder_.substr(userFolder_.rfind('/') + 1);

    TableVisitor visitor;
    visitor.containers = [&](const std::vector<ContainerRow>& rows) {
        const std::string userName = WindowsUserName(rows, localName);
        for (const ContainerRow& row : rows) {
            std::optional<ContentContainer> container = ContentContainerOf(row, userName);
            if (!container || prepared.contains(row.id)) {
                continue;  // a repeated id is another container's rows: the first keeps them
            }
            Prepared& p = prepared[row.id];
            p.container = std::move(*container);
            if (!p.container.refused.empty()) {
                continue;
            }
            if (!user) {
                p.container.refused = userProblem;
                continue;
            }
            auto folder = user->Below(p.container.relative);
            if (folder.ok()) {
                p.folder.emplace(std::move(folder).value());
            } else {
                p.container.refused = "folder is not there: " + folder.error();
            }
        }
    };
    bool more = true;
    visitor.row = [&](std::int64_t containerId, const ContentRow& row) {
        const auto found = prepared.find(containerId);
        if (found == prepared.end()) {
            return true;
        }
        Prepared& p = found->second;
        CacheEntry entry = EntryOfRow(p.container, row, location_);
        if (entry.unreadable.empty() && p.folder) {
            const std::string name = FolderOf(p.container, row.secureDirectory).value();
            const Result<std::size_t>& sub = SubfolderIndex(p, name, folders_);
            if (!sub.ok()) {
                entry.unreadable = sub.error();
            } else {
                const std::size_t index = sub.value();
                auto body = OpenFileIn(folders_[index], *row.filename);
                if (!body.ok()) {
                    entry.unreadable = body.error();
                } else {
                    entry.localFileName = body->path;
                    entry.bodyStart = FirstBytes(body->fd.get(), kBodyStartSize);
                    const std::string actual = body->path.substr(body->path.rfind('/') + 1);
                    named_.emplace(index, actual);
                    stored_[{entry.id.file, entry.id.locator}] = {index, actual, row.fileSize};
                }
            }
        }
        more = visit(entry);
        return more;
    };
    return rows_(visitor);
}

Result<CacheBody> WebCacheSource::ReadBody(const EntryId& id, std::uint64_t limit) {
    if (id.source != location_) {
        return Fail("the entry is not one of " + location_);
    }
    if (!read_) {
        (void)Enumerate([](const CacheEntry&) { return true; });
    }
    const auto found = stored_.find({id.file, id.locator});
    if (found == stored_.end()) {
        return Fail("the entry is no longer in the cache, or its file cannot be read");
    }
    auto body = OpenFileIn(folders_[found->second.folder], found->second.name);
    if (!body.ok()) {
        return Fail(body.error());
    }
    if (body->size > limit) {
        return Fail(body->path + " is larger than " + std::to_string(limit) + " bytes");
    }
    CacheBody result;
    result.bytes.resize(static_cast<std::size_t>(body->size));
    PELLIMOR_TRY(ReadFully(body->fd.get(), reinterpret_cast<std::uint8_t*>(result.bytes.data()),
                           result.bytes.size(), body->path));
    result.truncated = found->second.size && *found->second.size > body->size;
    return result;
}

std::vector<Status> WebCacheSource::DeleteEntries(const std::vector<CacheEntryRef>& chosen) {
    return std::vector<Status>(chosen.size(), CanDelete());
}

Status WebCacheSource::CanDelete() {
    return Fail(
        "Internet Explorer's WebCache database is read-only: Pellimor cannot write an ESE "
        "database, so its entries stay as they are");
}

Status WebCacheSource::EnumerateLeftovers(const std::function<bool(const std::string&)>& visit) {
    if (!read_) {
        (void)Enumerate([](const CacheEntry&) { return true; });
    }
    for (std::size_t index = 0; index < folders_.size(); ++index) {
        for (const std::string& name : folders_[index].names()) {
            if (named_.contains({index, name})) {
                continue;
            }
            auto body = OpenFileIn(folders_[index], name);
            if (body.ok() && LooksLikeSwf(FirstBytes(body->fd.get(), kBodyStartSize)) &&
                !visit(body->path)) {
                return Done{};
            }
        }
    }
    return Done{};
}

}  // namespace pellimor::webcache
