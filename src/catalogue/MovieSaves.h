// Which saves belong to which cached movie, and the name Ruffle's storage knows a save by.
// A movie's SharedObject.getLocal(name) keeps its save under the movie's host and its full
// address path (file name included); getLocal(name, localPath) under any prefix of that
// path that ends at a "/", "/" meaning the host alone.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/SaveFile.h"

namespace pellimor {

// Where a movie's saves may be: its host and its address path's segments. Addresses of
// files ("file:") keep their saves under "localhost", without a drive letter.
struct SaveScope {
    std::string host;
    std::vector<std::string> path;
};

// Nothing when the address has no host a save could be kept under.
std::optional<SaveScope> SaveScopeOf(std::string_view movieAddress);

bool SaveBelongsTo(const FoundSave& save, const SaveScope& movie);

// The indexes of the saves that belong to the movie, in the order given.
std::vector<std::size_t> SavesOfMovie(const std::vector<FoundSave>& saves,
                                      std::string_view movieAddress);

// A movie played from a file found on disk (a leftover, which has no address): Flash Player
// kept its saves under "localhost", for the file's own path (the path it was opened from,
// without a drive letter, which ends the path the disk is read from now) or for the host
// alone. The indexes of those saves, in the order given.
std::vector<std::size_t> SavesOfFile(const std::vector<FoundSave>& saves,
                                     std::string_view localPath);

// The save's address path as its movie wrote it: "/" and the folders joined by "/".
std::string SavePathText(const FoundSave& save);

// The key under which Ruffle's web player reads and writes the save in the page's storage:
// "<host>/<path without leading or trailing slash>/<name>", "#" before a name with a "/".
std::string RuffleStorageKey(const FoundSave& save);

// The key Ruffle asks for the save when its movie plays from playedAddress: Ruffle keys a
// save by the address it loaded the movie from, so a movie played from an address of
// another host than the save's (a file, served to Ruffle by the player's page) asks for it
// under that address's host and path, or its host alone for a save kept for the host.
std::string RuffleStorageKeyAt(const FoundSave& save, std::string_view playedAddress);

// The key a save that a movie played from a file wrote keeps, RuffleStorageKeyAt turned
// back: a key of playedAddress's host becomes "localhost" with the file's own path (from
// below its last folder whose name starts with "."; none for a save kept for the host), as
// Flash Player keeps a file's saves; another key stays as it is.
std::string FileSaveKeyOf(std::string_view key, std::string_view playedAddress,
                          std::string_view localPath);

// A key of Ruffle's storage taken apart into host, path and name, checked so that its parts
// can name files below a folder (no empty host, no part "." or "..", no NUL); nothing when
// it cannot be.
std::optional<FoundSave> SaveOfRuffleKey(std::string_view key);

// The segments below a folder a save is kept under: host, path, and the name's file (its
// parts before a "/" as "#part" folders), ending in ".sol".
std::vector<std::string> SaveFileSegments(const FoundSave& save);

}  // namespace pellimor
