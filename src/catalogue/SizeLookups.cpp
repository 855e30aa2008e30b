#include "catalogue/SizeLookups.h"

#include <system_error>

namespace pellimor {

SizeLookups::SizeLookups(FileOps& files) : files_(files) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had (a process at its limit): each size when asked.
    }
}

SizeLookups::~SizeLookups() {
    Close();
}

void SizeLookups::Close() {
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
}

void SizeLookups::Ask(std::string_view path) {
    filling_.paths.append(path);
    filling_.ends.push_back(filling_.paths.size());
    if (!thread_.joinable()) {
        LookUp(filling_);
        filling_ = {};
    } else if (filling_.ends.size() == kBatchPaths) {
        Hand(std::move(filling_));
        filling_ = {};
    }
}

void SizeLookups::Hand(Batch batch) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queued_.size() < kQueuedBatches; });
    queued_.push_back(std::move(batch));
    lock.unlock();
    changed_.notify_all();
}

void SizeLookups::Run() {
    for (;;) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !queued_.empty(); });
        if (queued_.empty()) {
            return;  // closed, and every batch answered
        }
        Batch batch = std::move(queued_.front());
        queued_.pop_front();
        lock.unlock();
        changed_.notify_all();  // room for the caller's next batch
        LookUp(batch);
    }
}

void SizeLookups::LookUp(const Batch& batch) {
    std::string path;
    std::size_t start = 0;
    for (const std::size_t end : batch.ends) {
        path.assign(batch.paths, start, end - start);
        const Result<std::uint64_t> size = files_.FileSize(path);
        sizes_.push_back(size ? std::optional(*size) : std::nullopt);
        start = end;
    }
}

std::vector<std::optional<std::uint64_t>> SizeLookups::Finish() {
    if (thread_.joinable() && !filling_.ends.empty()) {
        Hand(std::move(filling_));
        filling_ = {};
    }
    Close();
    return std::move(sizes_);
}

}  // namespace pellimor
