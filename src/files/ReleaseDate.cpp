#include "files/ReleaseDate.h"

namespace pellimor {

std::optional<std::string> CreateDay(std::string_view metadata) {
    const auto at = metadata.find("CreateDate");
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view after = metadata.substr(at, 64);
    for (std::size_t i = 0; i + 10 <= after.size(); ++i) {
        const std::string_view day = after.substr(i, 10);
        bool shaped = true;
        for (std::size_t k = 0; k < 10 && shaped; ++k) {
            shaped = k == 4 || k == 7 ? day[k] == '-' : day[k] >= '0' && day[k] <= '9';
        }
        if (shaped) {
            return std::string(day);
        }
    }
    return std::nullopt;
}

std::optional<std::string> ReleaseDate(const SwfEntry& movie, const ExportIndex& index,
                                       const SwfFacts* facts) {
    if (auto day = index.LastModifiedDay(movie.url)) {
        return day;
    }
    if (movie.lastModifiedTime) {
        return DayOf(*movie.lastModifiedTime);
    }
    if (facts == nullptr) {
        return std::nullopt;
    }
    if (facts->metadata) {
        if (auto made = CreateDay(*facts->metadata)) {
            return made;
        }
    }
    if (facts->productInfo && facts->productInfo->compiledAtMs > 0) {
        return DayOf(static_cast<UnixTime>(facts->productInfo->compiledAtMs / 1000));
    }
    return std::nullopt;
}

}  // namespace pellimor
