// A body read whole through a source's stream: what ReadBody gives for the formats that
// read their bodies in pieces.
#pragma once

#include "ports/CacheSource.h"

namespace pellimor {

inline Result<CacheBody> CollectedBody(CacheSource& source, const EntryId& id,
                                       std::uint64_t limit) {
    CacheBody body;
    Result<StreamedBody> streamed = source.StreamBody(id, limit, [&body](std::string_view piece) {
        body.bytes.append(piece);
        return true;
    });
    if (!streamed) {
        return Failure{streamed.error()};
    }
    body.truncated = streamed->truncated;
    return body;
}

}  // namespace pellimor
