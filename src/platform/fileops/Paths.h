// Small questions and changes about paths on this machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ports/Result.h"

namespace pellimor {

bool IsFile(const std::string& path);    // a regular file, links followed
bool IsFolder(const std::string& path);  // a folder, links followed
// The folder part of a path: "." when it has none, "/" for a file in the root.
std::string ParentFolder(const std::string& path);
// Creates the folder and every missing folder above it.
Status MakeFolders(const std::string& path);
// The child of folder whose name equals name ignoring ASCII case, as it is spelled on disk:
// caches copied off Windows disks, FAT sticks and zips do not keep the usual spelling.
std::optional<std::string> ChildIgnoringCase(const std::string& folder, std::string_view name);

// The same for many names: each folder is listed at most once (a cache folder may hold
// a hundred thousand files).
class CaseBlindLookup {
  public:
    std::optional<std::string> Child(const std::string& folder, std::string_view name);

  private:
    // folder -> lower-case name -> the name as spelled on disk (the first of a clash)
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> listed_;
};

}  // namespace pellimor
