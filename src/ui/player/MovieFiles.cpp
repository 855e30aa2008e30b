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

std::optional<std::string> MovieFiles::Read(const CachedFile& file, std::string& error) const {
    // A movie and what it loads are read whole; none comes near this.
    constexpr std::uint64_t kLargestFile = 512ULL << 20;
    if (file.localPath.empty()) {
        if (cache_ == nullptr) {
            error = "no cache for the player";
            return std::nullopt;
        }
        Result<CacheBody> body = cache_->ReadBody(file.id, kLargestFile);
        if (!body.ok()) {
            error = body.error();
            return std::nullopt;
        }
        return std::move(body->bytes);
    }
    if (files_ == nullptr) {
        error = "no file access for the player";
        return std::nullopt;
    }
    Result<std::string> read = files_->ReadFile(file.localPath, kLargestFile);
    if (!read) {
        error = read.error();
        return std::nullopt;
    }
    return std::move(read).value();
}

std::optional<CachedFile> MovieFiles::ForPath(std::string_view path) const {
    if (movie_.localPath.empty() || path != movie_.localPath) {
        return std::nullopt;
    }
    return movie_;
}

}  // namespace pellimor
