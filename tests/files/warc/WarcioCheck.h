// The independent readers of what the web-archive export writes: Python's zipfile unpacks a
// WACZ (and says how each member is stored), warc-check.mjs reads the WARC back with npm's
// warcio and checks digests, members, index, pages and package.
#pragma once

#include <map>
#include <string>

#include "support/TempFolder.h"

namespace pellimor::test {

inline const std::string kWarcCheck =
    std::string(PELLIMOR_SOURCE_DIR) + "/tests/files/warc/warc-check.mjs";

// Unpacks wacz into folder; the members as "name method size" lines, in the zip's order,
// after zipfile's own test of every CRC.
inline std::string UnpackWacz(const std::string& wacz, const std::string& folder, int& status) {
    return RunCommand(
        "python3 -c 'import sys,zipfile\n"
        "z=zipfile.ZipFile(sys.argv[1])\n"
        "bad=z.testzip()\n"
        "assert bad is None, bad\n"
        "for i in z.infolist(): print(i.filename, i.compress_type, i.file_size)\n"
        "z.extractall(sys.argv[2])' '" +
            wacz + "' '" + folder + "' 2>&1",
        status);
}

// Runs the check; payloads: address (as the record names it) -> a file holding the bytes
// its payload must be. Its JSON summary and faults, status 0 when it found none.
inline std::string CheckWithWarcio(const std::string& warc, const std::string& waczFolder,
                                   const std::map<std::string, std::string>& payloads,
                                   int& status) {
    std::string command = "node '" + kWarcCheck + "' --warc '" + warc + "'";
    if (!waczFolder.empty()) {
        command += " --wacz-dir '" + waczFolder + "'";
    }
    for (const auto& [uri, file] : payloads) {
        command += " --payload '" + uri + "=" + file + "'";
    }
    return RunCommand(command + " 2>&1", status);
}

}  // namespace pellimor::test
