// Small questions and changes about paths on this machine.
#pragma once

#include <string>

namespace pellimor {

bool IsFile(const std::string& path);    // a regular file, links followed
bool IsFolder(const std::string& path);  // a folder, links followed
// The folder part of a path: "." when it has none, "/" for a file in the root.
std::string ParentFolder(const std::string& path);
// Creates the folder and every missing folder above it; false with error set on failure.
bool MakeFolders(const std::string& path, std::string& error);

}  // namespace pellimor
