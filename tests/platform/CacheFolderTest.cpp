#include <gtest/gtest.h>

#include "platform/cachefolder/CacheFolder.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

TEST(GetSpecialFolderPath, CommandLineThenWinePrefixThenNothing) {
    test::TempFolder temp;
    const std::string below = "/drive_c/users/alice/AppData/Local/Microsoft/Windows/INetCache";
    test::MakeFolders(temp / ("prefix" + below));
    test::MakeFolders(temp /
                      "home/.wine/drive_c/users/bob/AppData/Local/Microsoft/Windows/INetCache");
    test::MakeFolders(temp / "home/.wine/drive_c/users/Public");
    const struct {
        CacheFolderInputs inputs;
        std::optional<std::string> expected;
    } cases[] = {
        {{temp / "given/", temp / "prefix", temp / "home", "alice"}, temp / "given"},
        {{std::nullopt, temp / "prefix", temp / "home", "alice"},
         temp / "prefix/drive_c/users/alice"},
        {{std::nullopt, temp / "prefix", temp / "home", "root"},
         temp / "prefix/drive_c/users/alice"},
        {{std::nullopt, std::nullopt, temp / "home", "carol"},
         temp / "home/.wine/drive_c/users/bob"},
        {{std::nullopt, temp / "empty", temp / "home", "alice"}, std::nullopt},
        {{std::nullopt, std::nullopt, std::nullopt, "alice"}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetSpecialFolderPath(c.inputs), c.expected);
    }
}

}  // namespace
}  // namespace pellimor
