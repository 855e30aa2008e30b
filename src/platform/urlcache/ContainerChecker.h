// Says what is inconsistent in a container: the checks a browser's own cache code relies
// on, so that nothing this program writes makes it discard the cache.
#pragma once

#include <string>
#include <vector>

#include "platform/urlcache/ContainerView.h"

namespace pellimor::indexdat {

// Empty when the container is consistent; otherwise one line per problem found.
std::vector<std::string> CheckContainer(const ContainerView& view);

}  // namespace pellimor::indexdat
