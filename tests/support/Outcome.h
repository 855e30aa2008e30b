// An outcome as GoogleTest sees it: passes when ok, fails with the outcome's own reason.
#pragma once

#include <gtest/gtest.h>

namespace pellimor::test {

template <class Outcome>
::testing::AssertionResult Ok(const Outcome& outcome) {
    if (outcome.ok()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << outcome.error();
}

}  // namespace pellimor::test
