// Flash Player's local shared objects (".sol" files, a movie's saves), read within bounds.
//
// Layout (big-endian throughout):
//   u16  0x00BF
//   u32  the length of everything after this field
//   char "TCSO"
//   u8[6] 00 04 00 00 00 00
//   u16  the save's name length, then the name (UTF-8)
//   u32  the AMF version of the values: 0 or 3
//   then until the end, pairs of
//     AMF0: u16 name length, name, an AMF0 value
//     AMF3: an AMF3 string (its own references count), an AMF3 value
//   each pair followed by one zero byte.
//
// AMF0 and AMF3 are Adobe's Action Message Format, versions 0 and 3. Objects an AMF value
// refers back to (a loop, or shared storage) stay references, never copies; strings
// referred to again are copied within a budget, so what a file claims cannot make the
// reading larger than a bounded multiple of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellimor {

struct AmfValue {
    enum class Kind {
        kUndefined,
        kNull,
        kBoolean,
        kNumber,
        kString,
        kDate,       // number: milliseconds since 1970 UTC
        kArray,      // items (dense part), members (associative part)
        kObject,     // members; text: the class name of a typed object, or empty
        kXml,        // text
        kByteArray,  // text: the bytes
        kReference,  // reference: the index of an object read before, in its table
    };
    Kind kind = Kind::kUndefined;
    std::string name;  // the member's name, for a member of an object or array
    bool boolean = false;
    double number = 0;
    std::string text;
    std::uint32_t reference = 0;
    std::vector<AmfValue> items;
    std::vector<AmfValue> members;
};

// What a save holds: as much as could be read; where the reading stopped and why when the
// file is damaged or beyond the bounds.
struct SolContents {
    bool isSol = false;  // the header was read
    std::string name;
    std::uint32_t amfVersion = 0;
    std::vector<AmfValue> values;  // each with its name
    std::string error;             // empty when the whole file was read
    std::size_t stoppedAt = 0;     // the offset the error was found at
};

// The bounds of one reading.
inline constexpr int kDeepestAmfNesting = 64;
inline constexpr std::size_t kMostAmfValues = 500'000;
inline constexpr std::size_t kMostAmfCopiedText = 64ULL << 20;

SolContents ReadSol(std::string_view bytes);

// The values as one JSON object, member names sorted when sorted (to compare two readings),
// in the file's order otherwise. Dates are {"@date": ms}, byte arrays {"@bytes": "hex"},
// XML {"@xml": text}, typed objects carry "@class", references {"@ref": n}; an array with
// both parts puts its dense part under "@items"; undefined is null.
std::string AmfValuesAsJson(const std::vector<AmfValue>& values, bool sorted = false);
std::string AmfValueAsJson(const AmfValue& value, bool sorted = false);

}  // namespace pellimor
