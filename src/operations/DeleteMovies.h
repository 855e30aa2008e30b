// Deleting the chosen movies: cache entries from the cache, leftover files from the disk,
// after one question; then the site is listed again.
#pragma once

#include <cstdint>
#include <span>

#include "files/DeleteAction.h"
#include "operations/OperationServices.h"
#include "ports/Prompts.h"
#include "ports/Result.h"

namespace pellimor {

// Fails, deleting nothing and asking nothing, when the cache cannot be changed at all.
Result<DeleteOutcome> DeleteMovies(ListingState& state, std::span<const std::int32_t> keys,
                                   OperationServices& services, Prompts& prompts);

}  // namespace pellimor
