// The files a game needs, as the cache holds them: the movie, every movie and file the movies
// load (followed as deep as an export follows them), and the page that embedded the movie.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "catalogue/CacheAddressBook.h"
#include "catalogue/SwfEntry.h"
#include "files/ExportIndex.h"
#include "ports/CacheSource.h"
#include "ports/Decompressor.h"
#include "ports/FileOps.h"

namespace pellimor {

struct GameFile {
    std::string address;
    CachedFile file;
};

struct GameFileList {
    std::vector<GameFile> files;       // the movie first, then its loads, then the page
    std::vector<std::string> missing;  // loads the cache does not hold, or could not read
    std::optional<std::string> page;   // the embedding page's address, when it is cached
};

struct GameFileServices {
    CacheSource& cache;
    FileOps& files;
    Decompressor& decompressor;
};

// A cached file's body, at most limit bytes once decoded.
Result<CacheBody> ReadGameFile(const CachedFile& file, GameFileServices& s, std::uint64_t limit);

GameFileList FindGameFiles(const SwfEntry& movie, const ExportIndex& index, GameFileServices& s);

}  // namespace pellimor
