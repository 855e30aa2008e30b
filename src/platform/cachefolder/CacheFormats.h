// The table of cache formats Pellimor reads, and the search for every cache under a folder:
// a cache folder itself, a Windows user folder, a Wine prefix or its user folder, a Linux home.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ports/CacheSource.h"
#include "ports/FileOps.h"

namespace pellimor {

struct CacheOpenOptions {
    int codePage = 1252;    // for WinINet's 8-bit names
    bool readOnly = false;  // never change anything, whatever the files allow
};

// A cache that several folders side by side lead to (WinINet's content, history and cookies
// name the same containers).
struct CacheSpan {
    std::vector<std::string> indexes;      // its index files: a cache is opened once, whichever
                                           // folder led to it
    std::vector<std::string> fileFolders;  // folders of its cached files: never another cache
    std::vector<std::string> problems;     // what stood where one of its indexes was expected
};

struct CacheFormat {
    std::string_view name;
    // Whether a folder of this name (lower case) is worth asking recognise about; the folder
    // given by the user is always asked.
    bool (*plausibleName)(std::string_view loweredName);
    bool (*recognise)(const std::string& folder);
    Result<std::unique_ptr<CacheSource>> (*open)(const std::string& folder,
                                                 const CacheOpenOptions&);
    // When no cache at all is found in the folder given: what stood where this format's
    // files were expected (an index that is a FIFO ...); may be empty.
    void (*explain)(const std::string& folder, std::vector<std::string>& problems);
    // Set for a format whose cache spans folders side by side: what an opened cache of the
    // format covers. The walk then goes on beside it, and the first such cache's folder is
    // where files it lost track of are looked for. Null for a cache that is its folder alone.
    CacheSpan (*span)(const CacheSource& opened);
};

const std::vector<CacheFormat>& CacheFormats();

struct FoundCaches {
    std::vector<std::unique_ptr<CacheSource>> sources;  // in the order found
    // The folder of the first cache that spans folders: its leftover files are looked for there.
    std::string leftoverFolder;
    // Flash Player's "#SharedObjects" folders met on the way, where the movies' saves are.
    std::vector<std::string> saveFolders;
    // What stood where a cache file was expected, and what the search could not enter.
    std::vector<std::string> problems;
};

// Every cache under root (root included), found by a walk through files that never follows a
// link, goes at most a bounded depth down and visits a bounded number of folders.
FoundCaches FindCaches(FileOps& files, const std::string& root, const CacheOpenOptions& options);

}  // namespace pellimor
