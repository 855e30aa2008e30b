#include "operations/OpenCache.h"

namespace pellimor {

Status OpenCache(ListingState& state, ListingServices& services, const OpenChoice& choice) {
    state.site = choice.site;
    state.sizesWhenShown = choice.sizesWhenShown;
    if (choice.leftovers) {
        ScanCacheThenLeftovers(state, services);
    } else {
        ScanCache(state, services);
    }
    if (!state.cacheError.empty() && state.movieLines.empty()) {
        return Fail(state.cacheError);
    }
    return Done{};
}

}  // namespace pellimor
