// Work done on a thread of its own while the caller does other work, for a listing whose
// two halves touch different things (the cache's index, the cache's folders).
#pragma once

#include <functional>
#include <system_error>
#include <thread>
#include <utility>

namespace pellimor {

class Beside {
  public:
    // Where no thread can be started (a process at its limit), work is done at once.
    explicit Beside(std::function<void()> work) : work_(std::move(work)) {
        try {
            thread_ = std::thread([this] { work_(); });
        } catch (const std::system_error&) {
            work_();
        }
    }
    ~Beside() { Join(); }
    Beside(const Beside&) = delete;
    Beside& operator=(const Beside&) = delete;

    // Waits until the work is done.
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

  private:
    std::function<void()> work_;
    std::thread thread_;
};

}  // namespace pellimor
