// Entry files read on two threads: the visitor must still see every one once, in order, and
// a visitor that stops must see nothing after.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/MadeInOrder.h"

namespace pellimor {
namespace {

constexpr std::size_t kRun = kMadeInOrderRun;

// count items, the visitor stopping at item last (or taking them all): each is made once,
// taken in order, and none after the stop.
void ExpectInOrder(std::size_t count, std::optional<std::size_t> last) {
    SCOPED_TRACE(std::to_string(count) + " items, stopping at " +
                 (last ? std::to_string(*last) : "none"));
    const auto made = std::make_unique<std::atomic<int>[]>(count + 1);
    std::vector<std::size_t> taken;
    MakeInOrder(
        count,
        [&](std::size_t i) {
            made[i].fetch_add(1);
            return i * 3 + 1;
        },
        [&](std::size_t i, std::size_t value) {
            taken.push_back(value);
            return i != last;
        });
    ASSERT_EQ(taken.size(), last ? *last + 1 : count);
    for (std::size_t i = 0; i < taken.size(); ++i) {
        ASSERT_EQ(taken[i], i * 3 + 1) << i;
        ASSERT_EQ(made[i].load(), 1) << i;
    }
}

TEST(MadeInOrder, EveryItemOnceInOrderAndNothingAfterTheVisitorStops) {
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, kRun - 1, kRun, kRun + 1,
                                    2 * kRun, 3 * kRun + 5, std::size_t{10'007}}) {
        ExpectInOrder(count, std::nullopt);
    }
    for (const std::size_t last :
         {std::size_t{0}, std::size_t{1}, kRun - 1, kRun, kRun + 1, std::size_t{150}, kRun * 3}) {
        ExpectInOrder(kRun * 3 + 1, last);
    }
}

}  // namespace
}  // namespace pellimor
