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
    CacheStatus DeleteEntry(const std::string& url) override {
        deleted.push_back(url);
        std::erase_if(records, [&url](const CacheRecord& r) { return r.url == url; });
        return {};
    }
    void Add(const std::string& url, const std::string& local, std::uint32_t type = 1,
             std::uint64_t lastModified = 0) {
        CacheRecord r;
        r.entryType = type;
        r.url = url;
        r.localFileName = local;
        r.lastModified = lastModified;
        records.push_back(r);
    }
};

}  // namespace pellimor::test
