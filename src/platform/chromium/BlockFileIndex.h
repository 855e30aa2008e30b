// The walk through a block-file cache's index: every slot of its hash table, every entry
// of the chain behind it, each entry once however the chains loop or cross.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/chromium/BlockFileEntry.h"
#include "platform/chromium/BlockFileStore.h"
#include "ports/Result.h"

namespace pellimor::chromium {

// Calls visit with every entry's address and record until it returns false. A failure
// names the first problem met (an index cut short, a chain that loops, an entry that
// cannot be read) and how many more; the entries visited stand.
Status WalkIndex(BlockFileStore& store, const std::string& folder,
                 const std::function<bool(std::uint32_t, const BlockFileEntry&)>& visit);

}  // namespace pellimor::chromium
