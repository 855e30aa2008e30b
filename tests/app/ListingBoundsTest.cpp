// Caches crafted to cost a listing far more than they hold: thousands of entries that share
// one stored address of hundreds of KiB (map records pointing at the same record, long keys
// in the same external file, entry files linked under many names), and entry files cut short
// with gigabytes of holes before their end. Each runs the real terminal program as a child
// and holds it to a stated budget of peak memory or bytes read, as the kernel counted them.
#include <gtest/gtest.h>

#include <functional>

#include "app/CliRun.h"
#include "platform/listing/ListedTexts.h"
#include "support/HostileCaches.h"

namespace pellimor {
namespace {

// `pellimor-cli list --json --cache folder` as a child, with its memory and reading counted.
test::Ran ListCache(const test::TempFolder& temp, const std::string& folder) {
    return test::Measured(temp.path(), {"list", "--json", "--cache", folder});
}

// Each listed entry keeps at most a capped address and a few short texts; what the program
// needs before it reads anything (the pages of this process it starts with, and a sanitizer's
// shadow memory in such a build: about 70 MiB in all) is the base. Before the caps and the
// checks for shared storage these caches took 1,000 to 1,250 MiB.
constexpr std::uint64_t kBaseBudget = 128u << 20;
constexpr std::uint64_t kBudgetPerEntry = 2u << 10;

TEST(ListingBounds, SharedStorageDoesNotMultiplyMemory) {
    const struct {
        const char* what;
        const char* folder;
        std::size_t entries;
        std::size_t addressLength;
        std::function<void(const std::string&, std::size_t, const std::string (&)[2])> make;
    } cases[] = {
        {"Firefox's old map, its records naming two records", "Cache", 20000, 16000,
         test::MakeSharedRecordsV1},
        {"Chrome's block files, long keys in two f_ files", "Cache_Data", 1000, 256 << 10,
         test::MakeSharedKeysBlockFiles},
        {"Chrome's simple cache, entry files linked to two", "Cache_Data", 1000, 256 << 10,
         test::MakeLinkedSimple},
        {"Firefox's cache2, entry files linked to two", "cache2", 1000, 256 << 10,
         test::MakeLinkedCache2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder temp;
        const std::string folder = temp / c.folder;
        test::MakeFolders(folder);
        const std::string urls[2] = {test::LongAddress('a', c.addressLength),
                                     test::LongAddress('b', c.addressLength)};
        c.make(folder, c.entries, urls);
        const test::Ran run = ListCache(temp, folder);
        const std::uint64_t budget = kBaseBudget + kBudgetPerEntry * c.entries;
        EXPECT_LE(run.peakBytes, budget) << run.peakBytes / 1024 / 1024 << " MiB";
        // Each stored address is listed once, cut to the cap and said to be unreadable.
        EXPECT_EQ(test::Count(run.out, "\"key\": "), 2u) << run.out.substr(0, 2000);
        const std::string reason = OverlongAddressReason(c.addressLength);
        EXPECT_EQ(test::Count(run.out, "\"unreadable\": \"" + reason + "\""), 2u) << reason;
        EXPECT_EQ(test::Count(run.out, "\"url\": \"" + urls[0].substr(0, kMaxListedAddress) + "\""),
                  1u);
    }
}

// Entry files of Chrome's simple cache cut short before any end record, each with 64 MiB
// of holes: the end records are looked for only where the format can put them.
TEST(ListingBounds, CutShortSimpleEntriesAreSearchedOnlyNearTheirEnd) {
    test::TempFolder temp;
    const std::string folder = temp / "Cache_Data";
    test::MakeFolders(folder);
    constexpr std::size_t kFiles = 2000;
    test::MakeCutShortSimple(folder, kFiles, 64u << 20);
    const test::Ran run = ListCache(temp, folder);
    EXPECT_EQ(run.status, 0) << run.out.substr(0, 2000);
    EXPECT_EQ(test::Count(run.out, "\"key\": "), kFiles);
    // Per file: its first and last 4 KiB, and the last 256 KiB searched for the body's end.
    constexpr std::uint64_t kBudgetPerFile = 300u << 10;
    EXPECT_LE(run.readBytes, (8u << 20) + kBudgetPerFile * kFiles)
        << run.readBytes / 1024 / 1024 << " MiB read";
}

}  // namespace
}  // namespace pellimor
