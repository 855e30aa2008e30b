// DOS date and time as the cache stores them: date in the low 16 bits, time in the high,
// in the local time of the machine, two-second steps.
#pragma once

#include <cstdint>

namespace pellimor {

std::uint32_t DosTimeFromFileTime(std::uint64_t fileTime);
std::uint64_t FileTimeFromDosTime(std::uint32_t dosTime);

}  // namespace pellimor
