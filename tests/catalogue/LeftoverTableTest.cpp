// Many cached files beside many leftovers in one folder: every cached file is recognised as
// one (whatever slot of the table its path falls in, whoever came there first), and every
// other file is listed, also when two cache entries name one file.
#include <gtest/gtest.h>

#include <set>

#include "catalogue/CacheScan.h"
#include "platform/fileops/PosixFileOps.h"
#include "support/FakeCache.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

TEST(LeftoverTable, TellsEveryCachedFileFromEveryLeftover) {
    for (const int files : {1, 7, 40, 600}) {
        test::TempFolder temp;
        test::FakeCache cache;
        PosixFileOps disk;
        ListingServices services{cache, disk,
                                 [&] { return std::optional<std::string>(temp.path()); }};
        std::set<std::string> leftovers;
        for (int i = 0; i < files; ++i) {
            const std::string cached = temp / ("c" + std::to_string(i) + "[1].swf");
            const std::string left = temp / ("l" + std::to_string(i) + ".swf");
            test::WriteFile(cached, "FWS");
            test::WriteFile(left, "FWS");
            cache.Add("http://e.com/" + std::to_string(i) + ".swf", cached);
            if (i % 3 == 0) {
                cache.Add("http://e.com/again" + std::to_string(i) + ".swf", cached);
            }
            leftovers.insert(left);
        }
        ListingState state;
        ScanLeftovers(state, services);
        std::set<std::string> listed;
        for (const SwfEntry& e : state.catalogue) {
            listed.insert(e.localPath);
        }
        EXPECT_EQ(state.catalogue.Count(), leftovers.size()) << files;
        EXPECT_EQ(listed, leftovers) << files;
    }
}

}  // namespace
}  // namespace pellimor
