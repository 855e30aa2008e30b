// Entry files read on two threads: the visitor must still see every one once, in order, and
// a visitor that stops must see nothing after.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "platform/MadeInOrder.h"

namespace pellimor {
namespace {

constexpr std::size_t kRun = kMadeInOrderRun;

TEST(MadeInOrder, EveryItemOnceInOrder) {
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, kRun - 1, kRun, kRun + 1,
                                    2 * kRun, 3 * kRun + 5, std::size_t{10'007}}) {
        SCOPED_TRACE(count);
        const auto made = std::make_unique<std::atomic<int>[]>(count + 1);
        std::vector<std::size_t> taken;
        MakeInOrder(
            count,
            [&](std::size_t i) {
                made[i].fetch_add(1);
                return i * 3 + 1;
            },
            [&](std::size_t, std::size_t value) {
                taken.push_back(value);
                return true;
            });
        ASSERT_EQ(taken.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(taken[i], i * 3 + 1) << i;
            ASSERT_EQ(made[i].load(), 1) << i;
        }
    }
}

TEST(MadeInOrder, NothingIsTakenAfterTheVisitorStops) {
    constexpr std::size_t kCount = 1000;
    for (const std::size_t last :
         {std::size_t{0}, std::size_t{1}, kRun - 1, kRun, kRun + 1, std::size_t{500}, kCount - 1}) {
        SCOPED_TRACE(last);
        std::vector<std::size_t> taken;
        MakeInOrder(
            kCount, [](std::size_t i) { return i; },
            [&](std::size_t, std::size_t i) {
                taken.push_back(i);
                return i != last;
            });
        ASSERT_EQ(taken.size(), last + 1);
        for (std::size_t i = 0; i <= last; ++i) {
            ASSERT_EQ(taken[i], i);
        }
    }
}

}  // namespace
}  // namespace pellimor
