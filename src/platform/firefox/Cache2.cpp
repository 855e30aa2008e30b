#include "platform/firefox/Cache2.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/body/ContentDecoding.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/ProcessScan.h"
#include "platform/firefox/Cache2Format.h"
#include "platform/firefox/FirefoxFolders.h"
#include "platform/firefox/ProfileLock.h"
#include "platform/firefox/ResponseHead.h"

namespace pellimor {

namespace {

namespace cache2 = firefox::cache2;

// One read from the end of an entry file usually holds all its metadata, and for small
// entries the body's first bytes too.
constexpr std::size_t kFirstRead = 16 * 1024;
// A compressed body is rarely larger than what it decodes to; this much is allowed.
constexpr std::uint64_t kEncodedSlack = 64 * 1024;

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

Result<std::string> ReadAt(int fd, std::uint64_t offset, std::size_t size,
                           const std::string& path) {
    std::string bytes(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got =
            pread(fd, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return Fail("cannot read " + path);
        }
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

struct EntryFile {
    cache2::Metadata metadata;
    std::string storedPrefix;  // the body's first stored bytes
};

// The entry's metadata and first body bytes, read from an open entry file.
Result<EntryFile> ReadEntryFile(const OpenedFile& file, const std::string& path) {
    const std::uint64_t size = file.size;
    if (size < cache2::kOffsetFieldSize) {
        return Fail(path + " is not a Firefox cache entry: too short (" + std::to_string(size) +
                    " bytes)");
    }
    const std::size_t first = static_cast<std::size_t>(std::min<std::uint64_t>(size, kFirstRead));
    auto tail = ReadAt(file.fd.get(), size - first, first, path);
    if (!tail) {
        return Failure{tail.error()};
    }
    const auto trailer = cache2::ReadTrailer(
        Bytes(*tail).last(std::min(tail->size(), cache2::kLongestTrailer)), size);
    if (!trailer) {
        return Fail(path + " is not a readable Firefox cache entry: " + trailer.error());
    }
    const std::uint32_t bodyLength = trailer->bodyLength;
    const std::uint64_t tailSize = size - bodyLength;
    if (tailSize > cache2::kMaxMetadataSize) {
        return Fail(path + " is not a Firefox cache entry: its metadata is too large (" +
                    std::to_string(tailSize) + " bytes)");
    }
    EntryFile entry;
    if (tailSize > first) {
        tail = ReadAt(file.fd.get(), bodyLength, static_cast<std::size_t>(tailSize), path);
        if (!tail) {
            return Failure{tail.error()};
        }
    } else {
        const std::size_t skip = first - static_cast<std::size_t>(tailSize);
        if (first == size) {
            // The whole file was read: the body's start is in it.
            entry.storedPrefix =
                tail->substr(0, std::min<std::size_t>(bodyLength, firefox::kStoredPrefixSize));
        }
        tail->erase(0, skip);
    }
    auto metadata = cache2::ParseMetadata(Bytes(*tail), *trailer);
    if (!metadata) {
        return Fail(path + " is not a Firefox cache entry: " + metadata.error());
    }
    if (first != size && bodyLength > 0) {
        auto start = ReadAt(file.fd.get(), 0,
                            std::min<std::size_t>(bodyLength, firefox::kStoredPrefixSize), path);
        if (!start) {
            return Failure{start.error()};
        }
        entry.storedPrefix = std::move(*start);
    }
    entry.metadata = std::move(metadata.value());
    return entry;
}

std::optional<UnixTime> TimeOf(std::uint32_t seconds) {
    if (seconds == 0) {
        return std::nullopt;
    }
    return UnixTime{seconds};
}

CacheEntry EntryOf(const std::string& location, const std::string& name, EntryFile& file) {
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
    for (const std::string& name : firefox::NamesIn(entries_)) {
        if (!cache2::IsEntryName(name)) {
            continue;
        }
        const std::string path = entries_ + "/" + name;
        std::string error;
        const auto opened = OpenWithin(path, location_, error);
        if (!opened) {
            report(error);
            continue;
        }
        auto file = ReadEntryFile(*opened, path);
        if (!file) {
            report(file.error());
            continue;
        }
        if (!visit(EntryOf(location_, name, *file))) {
            break;
        }
    }
    if (!problems.empty()) {
        return Fail(problems);
    }
    return Done{};
}

Result<CacheBody> FirefoxCache2::ReadBody(const EntryId& id, std::uint64_t limit) {
    if (id.source != location_ || !cache2::IsEntryName(id.file)) {
        return Fail("no entry " + id.file + " in " + location_);
    }
    const std::string path = entries_ + "/" + id.file;
    std::string error;
    const auto opened = OpenWithin(path, location_, error);
    if (!opened) {
        return Fail(error);
    }
    auto file = ReadEntryFile(*opened, path);
    if (!file) {
        return Failure{file.error()};
    }
    if (cache2::IsPredictorKey(file->metadata.key) || !cache2::UrlOfKey(file->metadata.key)) {
        return Fail(path + " holds no cached document");
    }
    const std::uint32_t stored = file->metadata.bodyLength;
    const auto head = firefox::ElementValue(file->metadata.elements, cache2::kResponseHeadElement);
    const firefox::ResponseFacts facts = firefox::FactsOf(head.value_or(std::string_view()));
    const std::uint64_t storedLimit = facts.contentEncoding.empty() ? limit : limit + kEncodedSlack;
    if (stored > storedLimit) {
        return Fail(path + " holds a body of " + std::to_string(stored) +
                    " bytes, more than can be read (" + std::to_string(limit) + ")");
    }
    auto bytes = ReadAt(opened->fd.get(), 0, stored, path);
    if (!bytes) {
        return Failure{bytes.error()};
    }
    auto decoded = DecodeContent(facts.contentEncoding, *bytes, limit);
    if (!decoded) {
        return Fail(path + ": " + decoded.error());
    }
    CacheBody body;
    body.bytes = std::move(decoded->bytes);
    body.truncated = decoded->truncated || (facts.contentLength && *facts.contentLength > stored);
    return body;
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
    const Status allowed = CanDelete();
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
        std::string error;
        const auto opened = OpenWithin(path, location_, error);
        if (!opened) {
            results.push_back(Fail(error));
            continue;
        }
        const auto file = ReadEntryFile(*opened, path);
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
        if (!RemoveWithin(path, location_, error)) {
            results.push_back(Fail(error));
            continue;
        }
        results.push_back(Done{});
    }
    return results;
}

}  // namespace pellimor
