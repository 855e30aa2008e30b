// Where the containers of a WinINet profile are: cookies, history, content, and protected
// mode's content under Low, found from a cache folder, a profile folder or a folder that
// holds index.dat itself.
#pragma once

#include <string>
#include <vector>

namespace pellimor {

struct ContainerLocation {
    std::string indexPath;  // .../index.dat
    std::string folder;     // the folder holding it and its cache sub-folders
    bool content = true;    // holds cached files (not the cookies' or the history's)
};

// The containers of the profile that cacheLocation belongs to, in the platform's order:
// cookies, history, content, then protected mode's content under Low. A folder that holds index.dat
// itself is one content container. An index that is not a regular file (a FIFO, a folder, a
// link to a device) is no container; problems, when given, says what stood there.
std::vector<ContainerLocation> FindContainers(const std::string& cacheLocation,
                                              std::vector<std::string>* problems = nullptr);

}  // namespace pellimor
