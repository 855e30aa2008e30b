#include "ui/player/MovieFiles.h"

#include "catalogue/Collation.h"

namespace pellimor {

bool IsWebAddress(std::string_view address) {
    for (const std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (address.size() > scheme.size() && StartsWithIgnoringCase(address, scheme)) {
            return true;
        }
    }
    return false;
}

void MovieFiles::SetMovie(std::string localPath, std::string address) {
    localPath_ = std::move(localPath);
    address_ = IsWebAddress(address) ? CanonicalAddress(address) : std::string();
    bookRead_ = false;
}

std::optional<CachedFile> MovieFiles::ForAddress(std::string_view address) {
    if (address_.empty() || !IsWebAddress(address)) {
        return std::nullopt;
    }
    if (CanonicalAddress(address) == address_) {
        return CachedFile{localPath_, "application/x-shockwave-flash"};
    }
    if (cache_ == nullptr) {
        return std::nullopt;
    }
    if (!bookRead_) {
        bookRead_ = true;
        ++cacheReads_;
        // A container that cannot be read leaves what was read before it: the listing
        // reports the error; the movie gets what the cache could give.
        (void)book_.Build(*cache_);
    }
    return book_.Find(address);
}

std::optional<std::string> MovieFiles::Read(const CachedFile& file, std::string& error) const {
    // A movie and what it loads are read whole; none comes near this.
    constexpr std::uint64_t kLargestFile = 512ULL << 20;
    if (files_ == nullptr) {
        error = "no file access for the player";
        return std::nullopt;
    }
    return files_->ReadFile(file.localPath, kLargestFile, error);
}

std::optional<CachedFile> MovieFiles::ForPath(std::string_view path) const {
    if (localPath_.empty() || path != localPath_) {
        return std::nullopt;
    }
    return CachedFile{localPath_, "application/x-shockwave-flash"};
}

}  // namespace pellimor
