// The sizes of many cached files, looked up on a thread of their own while the caller goes
// on reading the cache's index: the stats are the kernel's work, the reading is ours, and on
// a machine with more than one core the two overlap.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ports/FileOps.h"

namespace pellimor {

class SizeLookups {
  public:
    // files is the lookups' alone from here until Finish returns: the caller must not use it
    // meanwhile (what it keeps between calls is not shared between threads). Where no
    // thread can be started, each size is looked up when it is asked for.
    explicit SizeLookups(FileOps& files);
    ~SizeLookups();
    SizeLookups(const SizeLookups&) = delete;
    SizeLookups& operator=(const SizeLookups&) = delete;

    void Ask(std::string_view path);
    // FileOps::FileSize of every path asked for, in the order asked.
    std::vector<std::optional<std::uint64_t>> Finish();

  private:
    // Paths end to end, with where each ends: one allocation for many paths.
    struct Batch {
        std::string paths;
        std::vector<std::size_t> ends;
    };
    static constexpr std::size_t kBatchPaths = 2048;
    // Batches waiting at most: the caller waits rather than holding every path at once.
    static constexpr std::size_t kQueuedBatches = 8;

    void Hand(Batch batch);
    // Lets the thread answer what is queued, then waits for it to end.
    void Close();
    void Run();
    void LookUp(const Batch& batch);

    FileOps& files_;
    Batch filling_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> queued_;
    bool closed_ = false;
    std::vector<std::optional<std::uint64_t>> sizes_;  // the thread's until it is joined
    std::thread thread_;
};

}  // namespace pellimor
