// Where the Internet cache of this user is: the stand-in for the shell's special folder.
#pragma once

#include <optional>
#include <string>

namespace pellimor {

struct CacheFolderInputs {
    std::optional<std::string> commandLine;  // --cache DIR
    std::optional<std::string> winePrefix;   // $WINEPREFIX
    std::optional<std::string> home;         // $HOME
    std::optional<std::string> user;         // $USER
};

CacheFolderInputs CacheFolderInputsFromEnvironment(const std::optional<std::string>& commandLine);

// --cache when given; otherwise the Wine prefix's user folder (this user's, else the first
// that has an AppData folder), where every browser of the prefix keeps its cache; otherwise
// nothing.
std::optional<std::string> GetSpecialFolderPath(const CacheFolderInputs& inputs);

}  // namespace pellimor
