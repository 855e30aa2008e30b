#include "cli/SiteSuggestions.h"

#include <algorithm>
#include <numeric>
#include <tuple>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

constexpr std::size_t kComparedLength = 64;

// Edit distance from wanted to text; with freeEnds, text may start and end anywhere. One row
// of the table at a time: a site name is at most a host name long.
std::size_t EditDistance(const std::string& wanted, const std::string& text, bool freeEnds) {
    std::vector<std::size_t> row(text.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    if (freeEnds) {
        std::fill(row.begin(), row.end(), 0);
    }
    for (std::size_t i = 1; i <= wanted.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= text.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min(
                {above + 1, row[j - 1] + 1, diagonal + (wanted[i - 1] == text[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return freeEnds ? *std::min_element(row.begin(), row.end()) : row.back();
}

}  // namespace

std::vector<std::string> ClosestSites(std::string_view wanted,
                                      const std::vector<std::string>& sites, std::size_t count) {
    // Each site costs the product of both lengths: a longer text ranks by its start, so that a
    // cache with many long site names answers at once.
    const std::string lowered = LoweredAscii(wanted.substr(0, kComparedLength));
    std::vector<std::tuple<std::size_t, std::size_t, std::size_t>> ranks;  // part, whole, index
    ranks.reserve(sites.size());
    for (std::size_t i = 0; i < sites.size(); ++i) {
        const std::string site = LoweredAscii(sites[i]);
        ranks.emplace_back(EditDistance(lowered, site, true), EditDistance(lowered, site, false),
                           i);
    }
    const std::size_t kept = std::min(count, ranks.size());
    std::partial_sort(ranks.begin(), ranks.begin() + static_cast<std::ptrdiff_t>(kept),
                      ranks.end());
    std::vector<std::string> closest;
    for (std::size_t k = 0; k < kept; ++k) {
        closest.push_back(sites[std::get<2>(ranks[k])]);
    }
    return closest;
}

}  // namespace pellimor
