#include "platform/chromium/SimpleCache.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "ground/AsciiText.h"
#include "platform/MadeInOrder.h"
#include "platform/body/CollectedBody.h"
#include "platform/body/ContentDecoding.h"
#include "platform/chromium/ChromiumFolders.h"
#include "platform/chromium/ReadAt.h"
#include "platform/chromium/SimpleCacheFormat.h"
#include "platform/chromium/SimpleEntryFile.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/FolderFile.h"
#include "platform/fileops/ProcessScan.h"
#include "platform/listing/ListedTexts.h"
#include "platform/listing/SharedFiles.h"

namespace pellimor {

namespace {

namespace fmt = chromium_simple;

// A body stored larger than this is not read into memory, whatever the caller allows.
constexpr std::uint64_t kMaxStoredBody = 1ULL << 30;

std::uint64_t HashOfName(std::string_view lowerName) {
    std::uint64_t hash = 0;
    for (std::size_t i = 0; i < fmt::kHashDigits; ++i) {
        const char c = lowerName[i];
        hash = hash << 4 | static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return hash;
}

// One entry file as the listing keeps it, and which file it was. A file with several names
// is left unread (deferred) until the names before it in order are known.
struct ListedFile {
    CacheEntry entry;
    FileIdentity identity;
    bool deferred = false;
};

// One entry file read for the listing; a failure says why it is left out.
Result<ListedFile> ListEntry(const std::string& folder, int folderFd, const std::string& root,
                             const std::string& name, const std::string& lower, bool readLinked) {
    const std::string path = root + "/" + name;
    Result<FolderFile> file = OpenInFolder(folderFd, name, path);
    if (!file) {
        return Failure{file.error()};
    }
    Result<FileIdentity> identity = IdentityOf(file->fd.get(), path);
    if (!identity) {
        return Failure{identity.error()};
    }
    if (identity->links > 1 && !readLinked) {
        return ListedFile{CacheEntry{}, *identity, true};
    }
    Result<chromium::SimpleEntryFile> read =
        chromium::ReadSimpleEntryFile(file->fd.get(), file->size, path);
    if (!read) {
        return Failure{read.error()};
    }
    CacheEntry entry;
    entry.url = chromium::UrlFromKey(read->key);
    if (!entry.url) {
        return Fail(path + ": its key holds no address");
    }
    entry.id = EntryId{folder, name, HashOfName(lower)};
    entry.sourceName = kChromeSource;
    entry.kind = EntryKind::kDocument;
    entry.size = read->bodySize;
    entry.bodyStart = std::move(read->bodyStart);
    if (read->response) {
        entry.headers = std::move(read->response->headers);
        entry.contentType = std::move(read->response->contentType);
        entry.contentEncoding = std::move(read->response->contentEncoding);
        entry.lastModified = read->response->lastModified ? read->response->lastModified
                                                          : read->response->responseTime;
        entry.expires = read->response->expires;
    }
    entry.lastAccess = file->modified;
    CapListedTexts(entry);
    return ListedFile{std::move(entry), *identity, false};
}

}  // namespace

ChromiumSimpleCache::ChromiumSimpleCache(std::string folder)
    : folder_(std::move(folder)), held_(HeldFolder::Open(folder_)) {}

Result<std::string> ChromiumSimpleCache::Root() const {
    auto root = ResolveFolder(folder_);
    if (!root) {
        return Fail(folder_ + " is no folder that can be read");
    }
    return *root;
}

Result<std::string> ChromiumSimpleCache::EntryPath(const EntryId& id,
                                                   const std::string& root) const {
    if (id.source != folder_) {
        return Fail("the entry belongs to another cache (" + id.source + ")");
    }
    if (!chromium::IsEntryFileName(LoweredAscii(id.file), fmt::kStreams01Suffix)) {
        return Fail("\"" + id.file + "\" is no entry file of Chrome's cache");
    }
    return root + "/" + id.file;
}

Status ChromiumSimpleCache::Enumerate(const std::function<bool(const CacheEntry&)>& visit) {
    Result<std::string> root = Root();
    if (!root) {
        return Failure{root.error()};
    }
    Result<chromium::CaseBlindNames> names = chromium::ListCaseBlind(*root);
    if (!names) {
        return Failure{names.error()};
    }
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& [lower, name] : *names) {
        if (chromium::IsEntryFileName(lower, fmt::kStreams01Suffix)) {
            files.emplace_back(lower, name);
        }
    }
    std::sort(files.begin(), files.end());
    const UniqueFd folderFd(::open(root->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.valid()) {
        return Fail(folder_ + ": " + std::strerror(errno));
    }
    std::size_t failed = 0;
    std::string firstError;
    // A file linked under several names is listed under the first only: otherwise one
    // stored key would fill the listing as many times as it has names.
    SharedFiles shared;
    MakeInOrder(
        files.size(),
        [&](std::size_t i) {
            return ListEntry(folder_, folderFd.get(), *root, files[i].second, files[i].first,
                             false);
        },
        [&](std::size_t i, Result<ListedFile>& listed) {
            if (listed && listed->deferred) {
                if (const auto first = shared.Add(listed->identity, i)) {
                    listed = Fail(*root + "/" + files[i].second + " is the same file as " +
                                  files[*first].second + " (a hard link); listed once");
                } else {
                    listed = ListEntry(folder_, folderFd.get(), *root, files[i].second,
                                       files[i].first, true);
                }
            }
            if (!listed) {
                if (failed++ == 0) {
                    firstError = listed.error();
                }
                return true;
            }
            return visit(listed->entry);
        });
    if (failed > 0) {
        return Fail(std::to_string(failed) + " of " + std::to_string(files.size()) +
                    " entry files of " + folder_ + " could not be read; the first: " + firstError);
    }
    return Done{};
}

Result<CacheBody> ChromiumSimpleCache::ReadBody(const EntryId& id, std::uint64_t limit) {
    return CollectedBody(*this, id, limit);
}

Result<StreamedBody> ChromiumSimpleCache::StreamBody(const EntryId& id, std::uint64_t limit,
                                                     const ByteSink& sink) {
    Result<std::string> root = Root();
    if (!root) {
        return Failure{root.error()};
    }
    Result<std::string> path = EntryPath(id, *root);
    if (!path) {
        return Failure{path.error()};
    }
    const OpenedFile file = PELLIMOR_TRY(OpenWithin(*path, *root));
    Result<chromium::SimpleEntryFile> read =
        chromium::ReadSimpleEntryFile(file.fd.get(), file.size, *path);
    if (!read) {
        return Failure{read.error()};
    }
    const std::string encoding = read->response ? read->response->contentEncoding : "";
    const std::uint64_t ceiling =
        encoding.empty() ? std::min(limit, kMaxStoredBody) : kMaxStoredBody;
    if (read->bodySize > ceiling) {
        return Fail(*path + ": the body is larger than " + std::to_string(ceiling) + " bytes");
    }
    bool cut = false;
    const StoredReader stored =
        ReadFromDescriptor(file.fd.get(), read->bodyOffset, read->bodySize, *path, cut);
    Result<DecodedStream> decoded = DecodeContentStream(encoding, stored, limit, sink);
    if (!decoded) {
        return Fail(*path + ": " + decoded.error());
    }
    return StreamedBody{decoded->bytes, read->truncated || decoded->truncated || cut,
                        decoded->stopped};
}

Status ChromiumSimpleCache::DeleteOne(const CacheEntryRef& ref, const HeldFolder& held) {
    Result<std::string> path = EntryPath(ref.id, held.path());
    if (!path) {
        return Failure{path.error()};
    }
    {
        Result<OpenedFile> file = held.OpenFile(ref.id.file);
        if (!file) {
            return Failure{file.error()};
        }
        Result<chromium::SimpleEntryFile> read =
            chromium::ReadSimpleEntryFile(file->fd.get(), file->size, *path);
        if (!read) {
            return Failure{read.error()};
        }
        if (ref.url && chromium::UrlFromKey(read->key) != ref.url) {
            return Fail(*path + " now holds another address; left alone");
        }
    }
    if (Status removed = held.RemoveFile(ref.id.file, *path); !removed.ok()) {
        return removed;
    }
    // The entry's other files: stream 2 and the sparse ranges, in whatever case they stand.
    Result<std::vector<std::string>> names = held.Names();
    if (!names) {
        return Failure{names.error()};
    }
    const std::string hash = LoweredAscii(ref.id.file.substr(0, fmt::kHashDigits));
    for (const char* suffix : {fmt::kStream2Suffix, fmt::kSparseSuffix}) {
        for (const std::string& name : *names) {
            if (LoweredAscii(name) == hash + suffix) {
                if (Status removed = held.RemoveFile(name, held.path() + "/" + name);
                    !removed.ok()) {
                    return removed;
                }
                break;
            }
        }
    }
    return Done{};
}

std::vector<Status> ChromiumSimpleCache::DeleteEntries(const std::vector<CacheEntryRef>& chosen) {
    Status allowed = CanDelete();
    if (allowed.ok() && !held_.ok()) {
        allowed = Fail(held_.error());
    }
    if (allowed.ok()) {
        allowed = held_->StillThere();
    }
    std::vector<Status> results;
    results.reserve(chosen.size());
    for (const CacheEntryRef& ref : chosen) {
        results.push_back(allowed.ok() ? DeleteOne(ref, *held_) : allowed);
    }
    return results;
}

Status ChromiumSimpleCache::CanDelete() {
    Result<std::string> root = Root();
    if (!root) {
        return Failure{root.error()};
    }
    if (const auto holder = ProcessUsingFolder(*root)) {
        return Fail(*holder + " is using Chrome's cache in " + folder_ +
                    "; close it before deleting");
    }
    if (::access(root->c_str(), W_OK | X_OK) != 0) {
        return Fail("Chrome's cache in " + folder_ +
                    " cannot be changed: the folder is not writable");
    }
    return Done{};
}

}  // namespace pellimor
