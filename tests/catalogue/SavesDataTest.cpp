// The save reader on real saves (tests/data/saves): those Ruffle stored for the movies made
// here, and AMF3 saves written by amfjs; each read as amfjs, an independent AMF reader, read
// it (its readings committed beside the files).
#include <gtest/gtest.h>

#include <filesystem>

#include "catalogue/SolFile.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

TEST(SavesData, EverySaveReadsAsTheIndependentReaderReadsIt) {
    int compared = 0;
    for (const auto& file :
         std::filesystem::directory_iterator(std::string(PELLIMOR_TEST_DATA) + "/saves")) {
        if (file.path().extension() != ".sol") {
            continue;
        }
        SCOPED_TRACE(file.path().filename().string());
        const SolContents sol = ReadSol(test::ReadFile(file.path()));
        EXPECT_TRUE(sol.isSol);
        EXPECT_EQ(sol.error, "");
        std::string expected = test::ReadFile(file.path().string() + ".amfjs.json");
        while (!expected.empty() && expected.back() == '\n') {
            expected.pop_back();
        }
        EXPECT_EQ(AmfValuesAsJson(sol.values, true), expected);
        ++compared;
    }
    EXPECT_GE(compared, 5);
}

}  // namespace
}  // namespace pellimor
