#include "operations/DeleteMovies.h"

namespace pellimor {

Result<DeleteOutcome> DeleteMovies(ListingState& state, std::span<const std::int32_t> keys,
                                   OperationServices& services, Prompts& prompts) {
    if (const Status can = services.listing.cache.CanDelete(); !can.ok()) {
        return Fail(can.error());
    }
    return OnDelete(state, keys, services.listing, prompts);
}

}  // namespace pellimor
