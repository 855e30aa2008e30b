// The output of msiecfexport -m all, read back into records, and the helpers to compare
// our reader's view of a container with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellimor::test {

struct DumpRecord {
    std::string type;  // URL, REDR, LEAK
    std::uint32_t offset = 0;
    std::string location;
    std::string primaryTime;
    std::string secondaryTime;
    std::string expirationTime;
    std::string lastCheckedTime;
    std::string fileName;
    int cacheDirectory = -1;
};

// The records before "Exporting recovered items".
std::vector<DumpRecord> ParseMsiecfDump(const std::string& text);
// msiecfexport's spelling of a file time: "Aug 25, 2015 11:05:20.262000000".
std::string MsiecfFileTime(std::uint64_t fileTime);
std::string MsiecfDosTime(std::uint32_t dosTime);
// Runs msiecfexport -m all on a file; its output.
std::string RunMsiecfexport(const std::string& path);

}  // namespace pellimor::test
