// pellimor-cli run end to end on a fresh demo cache in a temporary folder, with its own
// settings and home, so that no test sees another's saves or the user's own.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/TempFolder.h"

namespace pellimor::test {

class DemoCliTest : public ::testing::Test {
  protected:
    TempFolder temp;
    std::string cache;
    void SetUp() override {
        int status = 0;
        const std::string out = Run("demo '" + temp.path() + "/profile'", status);
        ASSERT_EQ(status, 0) << out;
        cache = temp / "profile/INetCache";
    }
    // Standard output and error together, as a user sees them.
    std::string Run(const std::string& arguments, int& status) const {
        return RunCommand("XDG_CONFIG_HOME='" + temp.path() + "/config' HOME='" + temp.path() +
                              "' " + PELLIMOR_CLI + " " + arguments + " 2>&1",
                          status);
    }
    std::string InCache(const std::string& arguments, int& status) const {
        return Run(arguments + " --cache '" + cache + "'", status);
    }
};

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace pellimor::test
