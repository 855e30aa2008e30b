// The WebCache database's tables read with libesedb (Debian's libesedb, LGPL-3.0+): the
// Containers table, then the rows of each container that holds bodies. The only code of
// Pellimor that knows ESE; what the rows mean is WebCacheRows' business.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/webcache/WebCacheRows.h"
#include "ports/Result.h"

namespace pellimor::webcache {

struct TableVisitor {
    // The containers, once, before any row.
    std::function<void(const std::vector<ContainerRow>&)> containers;
    // One row of a container HoldsBodies chose; false stops the reading.
    std::function<bool(std::int64_t containerId, const ContentRow&)> row;
};

// Reads the database open on fd (a regular file, read from its start; the descriptor stays
// the caller's). A failure says what could not be read; the rows visited before it stand.
Status ReadTables(int fd, const TableVisitor& visit);

}  // namespace pellimor::webcache
