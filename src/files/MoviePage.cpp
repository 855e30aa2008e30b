#include "files/MoviePage.h"

#include "ground/AsciiText.h"
#include "sites/ParseUrl.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

namespace {

// The longest value the tooltip shows of the flashvars and the addresses.
constexpr std::size_t kLongestShown = 300;

// An address of the web with its host written out ("http:/x" splits, but names no host).
bool IsHttpAddress(std::string_view address) {
    UrlParts parts;
    return address.size() <= kLongestPageAddress &&
           (StartsWithIgnoringCase(address, "http://") ||
            StartsWithIgnoringCase(address, "https://")) &&
           ParseUrl(address, parts) &&
           (parts.scheme == UrlScheme::kHttp || parts.scheme == UrlScheme::kHttps);
}

// Whole pixels ("320", "320px"); nothing for a percentage, an empty or an absurd size.
int Pixels(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    if (text.ends_with("px")) {
        text.remove_suffix(2);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 5) {
        return 0;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value <= kLargestPageSize ? value : 0;
}

// The flashvars up to the last whole parameter within the bound.
std::string Bounded(std::string_view flashvars) {
    if (flashvars.size() <= kLongestFlashvars) {
        return std::string(flashvars);
    }
    const std::size_t end = flashvars.substr(0, kLongestFlashvars + 1).rfind('&');
    return end == std::string_view::npos ? std::string() : std::string(flashvars.substr(0, end));
}

// A value for one line of the tooltip.
std::string Shown(std::string_view value) {
    std::string text;
    for (const char c : value.substr(0, kLongestShown)) {
        text += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    }
    if (value.size() > kLongestShown) {
        // Cut at a character's start, so that the text stays UTF-8.
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
            text.pop_back();
        }
        if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) {
            text.pop_back();
        }
        text += "...";
    }
    return text;
}

}  // namespace

std::optional<MoviePage> PlayParameters(const PageEmbedding& page) {
    if (!IsHttpAddress(page.pageUrl)) {
        return std::nullopt;
    }
    MoviePage movie;
    movie.pageUrl = page.pageUrl;
    movie.flashvars = Bounded(page.embedding.flashvars);
    movie.base = ResolveAddress(page.pageUrl, ".");
    if (!page.embedding.base.empty() && page.embedding.base.size() <= kLongestPageAddress) {
        std::string base = ResolveAddress(page.pageUrl, page.embedding.base);
        if (IsHttpAddress(base)) {
            movie.base = std::move(base);
        }
    }
    movie.width = Pixels(page.embedding.width);
    movie.height = Pixels(page.embedding.height);
    if (movie.width == 0 || movie.height == 0) {
        movie.width = 0;
        movie.height = 0;
    }
    return movie;
}

std::string MoviePageText(const MoviePage& page) {
    std::string text = "Sayfa (page): " + Shown(page.pageUrl) + "\n";
    if (!page.flashvars.empty()) {
        text += "Parametreler (flashvars): " + Shown(page.flashvars) + "\n";
    }
    if (page.base != ResolveAddress(page.pageUrl, ".")) {
        text += "Taban (base): " + Shown(page.base) + "\n";
    }
    if (page.width > 0) {
        text += "Boyut (size): " + std::to_string(page.width) + " x " +
                std::to_string(page.height) + "\n";
    }
    return text;
}

std::optional<MoviePage> SharedMoviePages::Find(std::string_view movieUrl) {
    if (cache_ == nullptr || files_ == nullptr || !IsHttpAddress(movieUrl)) {
        return std::nullopt;
    }
    if (!current_) {
        current_ = true;
        ++builds_;
        // Pages that cannot be read embed nothing we can see; the rest still count.
        (void)index_.Build(*cache_, *files_);
    }
    const auto page = index_.PageOf(movieUrl, SiteFromUrl(movieUrl));
    if (!page) {
        return std::nullopt;
    }
    return PlayParameters(*page);
}

}  // namespace pellimor
