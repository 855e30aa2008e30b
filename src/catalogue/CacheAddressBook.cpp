#include "catalogue/CacheAddressBook.h"

#include "sites/Addresses.h"

namespace pellimor {

namespace {

// Of two sources that hold one address, the one that fetched it last.
bool Newer(const CachedFile& candidate, const CachedFile& held) {
    return candidate.id.source != held.id.source &&
           candidate.time.value_or(INT64_MIN) > held.time.value_or(INT64_MIN);
}

void Keep(std::unordered_map<std::string, CachedFile>& book, std::string address,
          const CachedFile& file) {
    const auto [at, added] = book.try_emplace(std::move(address), file);
    if (!added && Newer(file, at->second)) {
        at->second = file;
    }
}

}  // namespace

std::optional<CachedFile> FileOfEntry(const CacheEntry& entry) {
    if (entry.kind == EntryKind::kCookie || entry.kind == EntryKind::kHistory || !entry.url) {
        return std::nullopt;
    }
    CachedFile file;
    if (entry.localFileName && !entry.localFileName->empty() &&
        (entry.typedByFileName || entry.contentEncoding.empty())) {
        file.localPath = *entry.localFileName;
    } else if (entry.typedByFileName) {
        return std::nullopt;  // a record without a file holds nothing to load
    }
    file.id = entry.id;
    file.contentType =
        entry.typedByFileName ? ContentTypeFromHeaders(entry.headers) : entry.contentType;
    file.time = entry.lastModified;
    return file;
}

Status CacheAddressBook::Build(CacheSource& cache) {
    exact_.clear();
    withoutQuery_.clear();
    return cache.Enumerate([this](const CacheEntry& entry) {
        const std::optional<CachedFile> file = FileOfEntry(entry);
        if (!file) {
            return true;
        }
        std::string address = CanonicalAddress(*entry.url);
        Keep(withoutQuery_, std::string(WithoutQuery(address)), *file);
        Keep(exact_, std::move(address), *file);
        return true;
    });
}

std::optional<CachedFile> CacheAddressBook::Find(std::string_view url) const {
    const std::string address = CanonicalAddress(url);
    if (const auto found = exact_.find(address); found != exact_.end()) {
        return found->second;
    }
    if (const auto found = withoutQuery_.find(std::string(WithoutQuery(address)));
        found != withoutQuery_.end()) {
        return found->second;
    }
    return std::nullopt;
}

const CacheAddressBook* SharedAddressBook::Current() {
    if (cache_ == nullptr) {
        return nullptr;
    }
    if (!current_) {
        current_ = true;
        ++builds_;
        // A container that cannot be read leaves what was read before it: the listing
        // reports the error; the movie gets what the cache could give.
        (void)book_.Build(*cache_);
    }
    return &book_;
}

}  // namespace pellimor
