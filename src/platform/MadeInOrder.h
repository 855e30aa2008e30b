// Reading many small files of a cache on two threads while the caller's visitor still sees
// their entries one by one, in order: the files are the kernel's work and the reading ours,
// and a listing of 100,000 entry files spends most of its time there.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace pellimor {

// make(i) for every i below count, on the caller's thread and on one other, in runs of
// kMadeInOrderRun; take(i, result) on the caller's thread in the order of i. take returning false
// stops both. make must be safe to call from two threads at once (each call its own file).
// Where no thread can be started, everything is done on the caller's.
inline constexpr std::size_t kMadeInOrderRun = 64;

namespace made_in_order {

// Stops and waits for the other thread however the caller's loop ends.
struct Ending {
    std::thread& thread;
    std::mutex& mutex;
    std::condition_variable& changed;
    std::atomic<bool>& stop;
    ~Ending() {
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        if (thread.joinable()) {
            thread.join();
        }
    }
};

}  // namespace made_in_order

template <typename Make, typename Take>
void MakeInOrder(std::size_t count, Make make, Take take) {
    using Made = decltype(make(std::size_t{0}));
    const std::size_t runs = (count + kMadeInOrderRun - 1) / kMadeInOrderRun;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<Made>> ready;  // the other thread's runs, at most two ahead
    std::atomic<bool> stop = false;
    // The other thread makes the odd runs, the caller the even ones.
    const auto other = [&] {
        for (std::size_t run = 1; run < runs; run += 2) {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop.load() || ready.size() < 2; });
            }
            std::vector<Made> made;
            const std::size_t end = std::min(count, (run + 1) * kMadeInOrderRun);
            for (std::size_t i = run * kMadeInOrderRun; i < end; ++i) {
                if (stop.load(std::memory_order_relaxed)) {
                    return;
                }
                made.push_back(make(i));
            }
            {
                const std::lock_guard lock(mutex);
                ready.push_back(std::move(made));
            }
            changed.notify_all();
        }
    };
    std::thread thread;
    if (runs > 1) {
        try {
            thread = std::thread(other);
        } catch (const std::system_error&) {
            // no second thread: the caller makes every run
        }
    }
    const made_in_order::Ending ending{thread, mutex, changed, stop};
    const bool shared = thread.joinable();
    for (std::size_t run = 0; run < runs; ++run) {
        const std::size_t first = run * kMadeInOrderRun;
        const std::size_t end = std::min(count, first + kMadeInOrderRun);
        if (!shared || run % 2 == 0) {
            for (std::size_t i = first; i < end; ++i) {
                Made made = make(i);
                if (!take(i, made)) {
                    return;
                }
            }
            continue;
        }
        std::vector<Made> made;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !ready.empty(); });
            made = std::move(ready.front());
            ready.pop_front();
        }
        changed.notify_all();
        for (std::size_t k = 0; k < made.size(); ++k) {
            if (!take(first + k, made[k])) {
                return;
            }
        }
    }
}

}  // namespace pellimor
