#include "catalogue/CacheProfile.h"

#include <algorithm>

namespace pellimor {

CacheProfile::CacheProfile(std::vector<std::unique_ptr<CacheSource>> sources) {
    for (auto& source : sources) {
        Add(std::move(source));
    }
}

void CacheProfile::Add(std::unique_ptr<CacheSource> source) {
    if (source) {
        sources_.push_back(std::move(source));
    }
}

CacheSource* CacheProfile::SourceOf(const EntryId& id) const {
    for (const auto& source : sources_) {
        if (source->Location() == id.source) {
            return source.get();
        }
    }
    return nullptr;
}

Status CacheProfile::Enumerate(const std::function<bool(const CacheEntry&)>& visit) {
    std::string errors;
    bool stopped = false;
    for (const auto& source : sources_) {
        const Status status = source->Enumerate([&](const CacheEntry& entry) {
            stopped = !visit(entry);
            return !stopped;
        });
        if (!status.ok()) {
            errors += (errors.empty() ? "" : "\n") + status.error();
        }
        if (stopped) {
            break;
        }
    }
    if (!errors.empty()) {
        return Fail(errors);
    }
    return Done{};
}

Result<CacheBody> CacheProfile::ReadBody(const EntryId& id, std::uint64_t limit) {
    CacheSource* source = SourceOf(id);
    if (source == nullptr) {
        return Fail(id.source + " is not one of the caches read");
    }
    return source->ReadBody(id, limit);
}

Result<StreamedBody> CacheProfile::StreamBody(const EntryId& id, std::uint64_t limit,
                                              const ByteSink& sink) {
    CacheSource* source = SourceOf(id);
    if (source == nullptr) {
        return Fail(id.source + " is not one of the caches read");
    }
    return source->StreamBody(id, limit, sink);
}

std::vector<Status> CacheProfile::DeleteEntries(const std::vector<CacheEntryRef>& chosen) {
    std::vector<Status> statuses(chosen.size(), Fail("not one of the caches read"));
    // Each source gets its own entries together, so that it changes its files once.
    for (const auto& source : sources_) {
        std::vector<CacheEntryRef> mine;
        std::vector<std::size_t> where;
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            if (chosen[i].id.source == source->Location()) {
                mine.push_back(chosen[i]);
                where.push_back(i);
            }
        }
        if (mine.empty()) {
            continue;
        }
        std::vector<Status> done = source->DeleteEntries(mine);
        for (std::size_t k = 0; k < where.size(); ++k) {
            statuses[where[k]] = k < done.size() ? done[k] : Fail("not deleted");
        }
    }
    return statuses;
}

Status CacheProfile::CanDelete() {
    if (sources_.empty()) {
        return Fail("no cache was found");
    }
    Status first;
    for (const auto& source : sources_) {
        Status status = source->CanDelete();
        if (status.ok()) {
            return status;
        }
        if (first.ok()) {
            first = status;
        }
    }
    return first;
}

Status CacheProfile::EnumerateLeftovers(const std::function<bool(const std::string&)>& visit) {
    std::string errors;
    for (const auto& source : sources_) {
        const Status status = source->EnumerateLeftovers(visit);
        if (!status.ok()) {
            errors += (errors.empty() ? "" : "\n") + status.error();
        }
    }
    if (!errors.empty()) {
        return Fail(errors);
    }
    return Done{};
}

std::optional<std::string> CacheProfile::LeftoverFolderOf(const std::string& path) {
    for (const auto& source : sources_) {
        if (auto folder = source->LeftoverFolderOf(path)) {
            return folder;
        }
    }
    return std::nullopt;
}

Status CacheProfile::CanDeleteEntry(const EntryId& id) {
    CacheSource* source = SourceOf(id);
    if (source == nullptr) {
        return Fail(id.source + " is not one of the caches read");
    }
    return source->CanDeleteEntry(id);
}

}  // namespace pellimor
