// A URL cache held in a list, for the scan's rules; the real cache is tested on real files.
#pragma once

#include <vector>

#include "platform/UrlCache.h"

namespace pellimor::test {

class FakeCache : public UrlCache {
  public:
    std::vector<CacheRecord> records;
    std::vector<std::string> deleted;

    CacheStatus Enumerate(const std::function<bool(const CacheRecord&)>& visit) override {
        for (const CacheRecord& r : records) {
            if (!visit(r)) {
                break;
            }
        }
        return {};
    }
    std::vector<CacheStatus> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override {
        std::vector<CacheStatus> statuses;
        for (const CacheEntryRef& ref : chosen) {
            const auto before = records.size();
            std::erase_if(records, [&ref](const CacheRecord& r) {
                return r.recordOffset == ref.recordOffset && r.url == ref.url;
            });
            statuses.push_back(records.size() < before ? CacheStatus{}
                                                       : CacheStatus{false, "no such record"});
            deleted.push_back(ref.url.value_or(""));
        }
        return statuses;
    }
    std::string readOnlyReason;
    std::string ReadOnlyReason() override { return readOnlyReason; }
    void Add(const std::string& url, const std::string& local, std::uint32_t type = 1,
             std::uint64_t lastModified = 0) {
        CacheRecord r;
        r.entryType = type;
        r.url = url;
        r.localFileName = local;
        r.lastModified = lastModified;
        r.recordOffset = static_cast<std::uint32_t>(records.size() + 1) * 0x80;
        records.push_back(r);
    }
};

}  // namespace pellimor::test
