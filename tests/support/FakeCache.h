// A cache source held in a list, for the scan's rules; the real formats are tested on real
// files. Add makes entries as WinINet reports them (a local file name per entry).
#pragma once

#include <algorithm>
#include <vector>

#include "ports/CacheSource.h"

namespace pellimor::test {

// WinINet's entry-type bits, as the tests of its rules name them.
constexpr std::uint32_t kCookieCacheEntry = 0x00100000;
constexpr std::uint32_t kUrlHistoryCacheEntry = 0x00200000;

// File times (100 ns since 1601) to seconds since 1970; nothing for 0.
inline std::optional<UnixTime> UnixFromFileTime(std::uint64_t fileTime) {
    if (fileTime == 0) {
        return std::nullopt;
    }
    return static_cast<UnixTime>(fileTime / 10'000'000) - 11'644'473'600LL;
}

class FakeCache : public CacheSource {
  public:
    std::vector<CacheEntry> records;
    std::vector<std::string> deleted;
    std::string readOnlyReason;
    std::string location = "/fake";

    std::string_view Name() const override { return kInternetExplorerSource; }
    const std::string& Location() const override { return location; }
    Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) override {
        for (const CacheEntry& r : records) {
            if (!visit(r)) {
                break;
            }
        }
        return Done{};
    }
    Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t) override {
        for (const CacheEntry& r : records) {
            if (r.id == id && bodies.size() > id.locator) {
                return CacheBody{bodies[id.locator], false};
            }
        }
        return Fail("no body");
    }
    std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override {
        std::vector<Status> statuses;
        for (const CacheEntryRef& ref : chosen) {
            const auto before = records.size();
            std::erase_if(records, [&ref](const CacheEntry& r) {
                return r.id == ref.id && r.url == ref.url;
            });
            statuses.push_back(records.size() < before ? Status(Done{}) : Fail("no such record"));
            deleted.push_back(ref.url.value_or(""));
        }
        return statuses;
    }
    Status CanDelete() override {
        if (readOnlyReason.empty()) {
            return Done{};
        }
        return Fail(readOnlyReason);
    }
    void Add(const std::string& url, const std::string& local, std::uint32_t type = 1,
             std::uint64_t lastModified = 0) {
        CacheEntry r;
        r.sourceName = kInternetExplorerSource;
        r.typedByFileName = true;
        r.kind = (type & kCookieCacheEntry) != 0       ? EntryKind::kCookie
                 : (type & kUrlHistoryCacheEntry) != 0 ? EntryKind::kHistory
                                                       : EntryKind::kDocument;
        r.url = url;
        r.localFileName = local;
        r.lastModified = UnixFromFileTime(lastModified);
        r.id = EntryId{location, "index.dat", (records.size() + 1) * 0x80};
        records.push_back(r);
    }
    // Bodies of entries without a file of their own, by locator.
    std::vector<std::string> bodies;
};

}  // namespace pellimor::test
