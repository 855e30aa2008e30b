// The strings a movie's scripts carry: the constant pools, pushed strings and getURL
// addresses of ActionScript 1/2 action records, and the string pool of an ActionScript 3
// ABC file. Both walks go forward only and stop at the end of their bytes, so jumps and
// loops in the code cannot keep them going.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pellimor {

using StringSink = std::function<void(std::string_view)>;

// The action records from the start of actions until ActionEnd or the end of the bytes.
// Returns empty, or where the records stopped making sense.
std::string ActionStrings(std::string_view actions, const StringSink& sink);

// An abcFile: its version, then the constant pool up to and including its strings.
std::string AbcStrings(std::string_view abcFile, const StringSink& sink);

}  // namespace pellimor
