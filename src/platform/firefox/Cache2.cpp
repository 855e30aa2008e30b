#include "platform/firefox/Cache2.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/MadeInOrder.h"
#include "platform/body/CollectedBody.h"
#include "platform/body/ContentDecoding.h"
#include "platform/chromium/ReadAt.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/FolderFile.h"
#include "platform/fileops/ProcessScan.h"
#include "platform/firefox/Cache2EntryFile.h"
#include "platform/firefox/Cache2Format.h"
#include "platform/firefox/FirefoxFolders.h"
#include "platform/firefox/ProfileLock.h"
#include "platform/firefox/ResponseHead.h"
#include "platform/listing/ListedTexts.h"
#include "platform/listing/SharedFiles.h"

namespace pellimor {

namespace {

namespace cache2 = firefox::cache2;

// A compressed body is rarely larger than what it decodes to; this much is allowed.
constexpr std::uint64_t kEncodedSlack = 64 * 1024;

std::optional<UnixTime> TimeOf(std::uint32_t seconds) {
    if (seconds == 0) {
        return std::nullopt;
    }
    return UnixTime{seconds};
}

CacheEntry EntryOf(const std::string& location, const std::string& name, cache2::EntryFile& file) {
    const cache2::Metadata& metadata = file.metadata;
    CacheEntry entry;
    entry.id = EntryId{location, name, 0};
    entry.sourceName = kFirefoxSource;
    if (const auto url = cache2::UrlOfKey(metadata.key)) {
        entry.url = std::string(*url);
    }
    const bool predictor = cache2::IsPredictorKey(metadata.key);
    entry.kind = entry.url && !predictor ? EntryKind::kDocument : EntryKind::kOther;
    entry.lastModified = TimeOf(metadata.lastModified);
    entry.lastAccess = TimeOf(metadata.lastFetched);
    if (metadata.expiration != cache2::kNoExpiration) {
        entry.expires = TimeOf(metadata.expiration);
    }
    entry.size = metadata.bodyLength;
    if (const auto head = firefox::ElementValue(metadata.elements, cache2::kResponseHeadElement)) {
        entry.headers = std::string(*head);
        const firefox::ResponseFacts facts = firefox::FactsOf(*head);
        entry.contentType = facts.contentType;
        entry.contentEncoding = facts.contentEncoding;
    }
    if (entry.kind == EntryKind::kDocument) {
        entry.bodyStart = firefox::BodyStartOf(entry.contentEncoding, file.storedPrefix);
    } else if (predictor) {
        entry.unreadable = "a record of Firefox's predictor, not a cached document";
    } else {
        entry.unreadable = "its key names no address";
    }
    return entry;
}

}  // namespace

Result<std::unique_ptr<FirefoxCache2>> FirefoxCache2::Open(const std::string& folder) {
    const auto location = ResolveFolder(folder);
    if (!location) {
        return Fail(folder + " is not a folder");
    }
    std::string entries = *location;
    if (const auto name = firefox::FindIgnoringCase(*location, "entries")) {
        const auto resolved = ResolveFolder(*location + "/" + *name);
        if (!resolved || !IsWithin(*resolved, *location)) {
            return Fail(*location + "/" + *name + " is not a folder inside the cache folder");
        }
        entries = *resolved;
    }
    return std::unique_ptr<FirefoxCache2>(new FirefoxCache2(*location, entries));
}

Status FirefoxCache2::Enumerate(const std::function<bool(const CacheEntry&)>& visit) {
    std::string problems;
    const auto report = [&problems](const std::string& text) {
        problems += (problems.empty() ? "" : "\n") + text;
    };
    // Each entry is opened relative to its folder without following a link, which keeps it
    // inside the cache as resolving its path would, at a fraction of the cost per entry.
    const UniqueFd folder(::open(entries_.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
        return Fail("cannot open " + entries_ + ": " + std::strerror(errno));
    }
    std::vector<std::string> names = firefox::NamesIn(entries_);
    std::erase_if(names, [](const std::string& name) { return !cache2::IsEntryName(name); });
    // A file with several names is left unread (deferred) until the names before it in
    // order are known: it is listed under the first only.
    struct Listed {
        CacheEntry entry;
        FileIdentity identity;
        bool deferred = false;
    };
    const auto list = [&](std::size_t i, bool readLinked) -> Result<Listed> {
        const std::string path = entries_ + "/" + names[i];
        auto opened = OpenInFolder(folder.get(), names[i], path);
        if (!opened) {
            return Failure{opened.error()};
        }
        Result<FileIdentity> identity = IdentityOf(opened->fd.get(), path);
        if (!identity) {
            return Failure{identity.error()};
        }
        if (identity->links > 1 && !readLinked) {
            return Listed{CacheEntry{}, *identity, true};
        }
        auto file = cache2::ReadEntryFile(OpenedFile{std::move(opened->fd), opened->size}, path);
        if (!file) {
            return Failure{file.error()};
        }
        Listed listed{EntryOf(location_, names[i], *file), *identity, false};
        CapListedTexts(listed.entry);
        return listed;
    };
    SharedFiles shared;
    std::size_t linked = 0;
    std::string firstLinked;
    // Each entry file is read on one of two threads; the visitor sees them in order. What
    // waits for the visitor is the entry as listed, its texts capped, not the file's metadata.
    MakeInOrder(
        names.size(), [&](std::size_t i) { return list(i, false); },
        [&](std::size_t i, Result<Listed>& listed) {
            if (listed && listed->deferred) {
                if (const auto first = shared.Add(listed->identity, i)) {
                    if (linked++ == 0) {
                        firstLinked = entries_ + "/" + names[i] + " is the same file as " +
                                      names[*first] + " (a hard link); listed once";
                    }
                    return true;
                }
                listed = list(i, true);
            }
            if (!listed) {
                report(listed.error());
                return true;
            }
            return visit(listed->entry);
        });
    if (linked > 0) {
        report(firstLinked +
               (linked > 1 ? " (and " + std::to_string(linked - 1) + " more such names)" : ""));
    }
    if (!problems.empty()) {
        return Fail(problems);
    }
    return Done{};
}

Result<CacheBody> FirefoxCache2::ReadBody(const EntryId& id, std::uint64_t limit) {
    return CollectedBody(*this, id, limit);
}

Result<StreamedBody> FirefoxCache2::StreamBody(const EntryId& id, std::uint64_t limit,
                                               const ByteSink& sink) {
    if (id.source != location_ || !cache2::IsEntryName(id.file)) {
        return Fail("no entry " + id.file + " in " + location_);
    }
    const std::string path = entries_ + "/" + id.file;
    const OpenedFile opened = PELLIMOR_TRY(OpenWithin(path, location_));
    auto file = cache2::ReadEntryFile(opened, path);
    if (!file) {
        return Failure{file.error()};
    }
    if (cache2::IsPredictorKey(file->metadata.key) || !cache2::UrlOfKey(file->metadata.key)) {
        return Fail(path + " holds no cached document");
    }
    const std::uint32_t stored = file->metadata.bodyLength;
    const auto head = firefox::ElementValue(file->metadata.elements, cache2::kResponseHeadElement);
    const firefox::ResponseFacts facts = firefox::FactsOf(head.value_or(std::string_view()));
    const std::uint64_t storedLimit = facts.contentEncoding.empty()
                                          ? limit
                                          : std::max(limit, limit + kEncodedSlack);  // saturates
    if (stored > storedLimit) {
        return Fail(path + " holds a body of " + std::to_string(stored) +
                    " bytes, more than can be read (" + std::to_string(limit) + ")");
    }
    bool cut = false;
    const StoredReader reader = ReadFromDescriptor(opened.fd.get(), 0, stored, path, cut);
    auto decoded = DecodeContentStream(facts.contentEncoding, reader, limit, sink);
    if (!decoded) {
        return Fail(path + ": " + decoded.error());
    }
    return StreamedBody{
        decoded->bytes,
        cut || decoded->truncated || (facts.contentLength && *facts.contentLength > stored),
        decoded->stopped};
}

Status FirefoxCache2::CanDelete() {
    for (const std::string& profile : firefox::ProfileFoldersOf(location_)) {
        if (const auto holder = firefox::ProfileLockHolder(profile)) {
            return Fail("Firefox is running on the profile of " + location_ + " (" + *holder +
                        "): close it before deleting from its cache");
        }
    }
    if (const auto holder = ProcessUsingFolder(location_)) {
        return Fail(*holder + " has files of " + location_ +
                    " open: close it before deleting from this cache");
    }
    return Done{};
}

std::vector<Status> FirefoxCache2::DeleteEntries(const std::vector<CacheEntryRef>& chosen) {
    std::vector<Status> results;
    Status allowed = CanDelete();
    if (allowed.ok()) {
        allowed = held_.ok() ? held_->StillThere() : Status(Fail(held_.error()));
    }
    for (const CacheEntryRef& ref : chosen) {
        if (!allowed) {
            results.push_back(allowed);
            continue;
        }
        if (ref.id.source != location_ || !cache2::IsEntryName(ref.id.file)) {
            results.push_back(Fail("no entry " + ref.id.file + " in " + location_));
            continue;
        }
        const std::string path = entries_ + "/" + ref.id.file;
        auto opened = held_->OpenFile(ref.id.file);
        if (!opened) {
            results.push_back(Failure{opened.error()});
            continue;
        }
        const auto file = cache2::ReadEntryFile(*opened, path);
        if (!file) {
            results.push_back(Failure{file.error()});
            continue;
        }
        const auto url = cache2::UrlOfKey(file->metadata.key);
        if (!url || !ref.url || *url != *ref.url) {
            results.push_back(
                Fail(path + " no longer holds " + ref.url.value_or("the chosen entry")));
            continue;
        }
        results.push_back(held_->RemoveFile(ref.id.file, path));
    }
    return results;
}

}  // namespace pellimor
