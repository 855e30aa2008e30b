// Writing into an export folder without ever replacing a file: an identical file there is
// kept, a different one makes the new file take the next numbered name ("level1.swf",
// "level101.swf", ... "level1999.swf"). Game exports and written saves both go this way.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/ByteSink.h"
#include "ports/ExportFolder.h"
#include "ports/Result.h"

namespace pellimor {

// The highest number a name takes before the write gives up.
inline constexpr unsigned kMostNumbers = 999;

using ByteProducer = std::function<Status(const ByteSink&)>;

// The name with a number before its extension, as saved copies are numbered:
// "level1.swf", 1 -> "level101.swf"; "data", 2 -> "data02".
std::string NumberedFileName(const std::string& name, unsigned counter);

// Hands bytes on whole, for ByteProducer's callers.
ByteProducer BytesProducer(std::string_view bytes);

struct NumberedWrite {
    std::vector<std::string> segments;  // where the file is, written now or kept
    bool numbered = false;              // written under a numbered name: another was there
};

// Writes what produce hands on at segments (or the first numbered name free or holding the
// same bytes); why not, when no name would do.
Result<NumberedWrite> WriteNumbered(ExportFolder& folder, std::vector<std::string> segments,
                                    const ByteProducer& produce);

}  // namespace pellimor
