#include "ui/player/MovieFiles.h"

#include "sites/Addresses.h"

namespace pellimor {

void MovieFiles::SetMovie(CachedFile movie, std::string address) {
    movie_ = std::move(movie);
    movie_.contentType = "application/x-shockwave-flash";
    address_ = IsWebAddress(address) ? CanonicalAddress(address) : std::string();
}

std::optional<CachedFile> MovieFiles::ForAddress(std::string_view address) {
    if (address_.empty() || !IsWebAddress(address)) {
        return std::nullopt;
    }
    if (CanonicalAddress(address) == address_) {
        return movie_;
    }
    const CacheAddressBook* book = addresses_->Current();
    return book != nullptr ? book->Find(address) : std::nullopt;
}

Result<std::string> MovieFiles::Read(const CachedFile& file) const {
    // A movie and what it loads are read whole; none comes near this.
    constexpr std::uint64_t kLargestFile = 512ULL << 20;
    if (file.localPath.empty()) {
        if (cache_ == nullptr) {
            return Fail("no cache for the player");
        }
        return std::move(PELLIMOR_TRY(cache_->ReadBody(file.id, kLargestFile)).bytes);
    }
    if (files_ == nullptr) {
        return Fail("no file access for the player");
    }
    return files_->ReadFile(file.localPath, kLargestFile);
}

std::optional<CachedFile> MovieFiles::ForPath(std::string_view path) const {
    if (movie_.localPath.empty() || path != movie_.localPath) {
        return std::nullopt;
    }
    return movie_;
}

}  // namespace pellimor
