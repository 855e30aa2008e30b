// A listing of a fake cache whose files lie in a real temporary folder, the leftover
// listing's folder; tests may take the folder away.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "catalogue/CacheScan.h"
#include "platform/fileops/PosixFileOps.h"
#include "support/FakeCache.h"
#include "support/TempFolder.h"

namespace pellimor::test {

class FolderListingTest : public ::testing::Test {
  protected:
    TempFolder temp;
    FakeCache cache;
    PosixFileOps files;
    std::optional<std::string> folder = temp.path();
    ListingServices services{cache, files, [this] { return folder; }};
};

}  // namespace pellimor::test
