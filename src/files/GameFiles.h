// The files a game needs, worked out before anything is written (the plan): the movie, every
// movie and file the movies load (followed kDeepestLoad deep), the files its page's
// parameters name where the cache holds them, and the page that embedded the movie. Both
// exports carry the one plan out: the game's folder (content/<host>/<path>) and the web
// archive. Working it out reads the cache only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "catalogue/CacheAddressBook.h"
#include "catalogue/SwfEntry.h"
#include "catalogue/SwfFacts.h"
#include "files/EmbeddingIndex.h"
#include "files/ExportIndex.h"
#include "ports/CacheSource.h"
#include "ports/Decompressor.h"
#include "ports/FileOps.h"

namespace pellimor {

// How far the loads of loaded movies are followed, and how many files one game may have.
inline constexpr int kDeepestLoad = 4;
inline constexpr std::size_t kMostGameFiles = 1000;
// The most a file a movie loads may decode to when it is copied; the movie itself may be
// as long as a movie can state (kLargestMovieBody).
inline constexpr std::uint64_t kLargestLoadedFile = 512ULL << 20;

struct GameFileServices {
    CacheSource& cache;
    FileOps& files;
    Decompressor& decompressor;
};

enum class PlannedState {
    kPlanned,     // cached, readable, and placed under content/
    kNotCached,   // named, but the cache does not hold it
    kUnreadable,  // cached, but its body cannot be read (note says why)
    kNoPath,      // cached, but its address gives no place under content/ (note says why)
};

struct PlannedFile {
    std::string address;
    PlannedState state = PlannedState::kPlanned;
    CachedFile source;              // where its bytes come from, when cached
    std::uint64_t limit = 0;        // the most its body may decode to when it is copied
    std::vector<std::string> path;  // below content/: its host, then its path (kPlanned)
    std::string note;               // what the game's notes say of it (kUnreadable, kNoPath)
    // A movie whose start was read whole enough to tell: how many bytes short of its declared
    // length it is, when it is.
    std::optional<std::uint64_t> bytesShort;
};

struct GamePlan {
    // The movie first (always), then what the movies and the page's parameters name, breadth
    // first, each address once.
    std::vector<PlannedFile> files;
    bool stopped = false;  // kMostGameFiles planned and more were named
    std::optional<SwfFacts> movieFacts;
    std::optional<PageEmbedding> page;    // the page that embedded the movie, when one did
    std::optional<CachedFile> pageFile;   // its body, when the cache holds it
    std::unordered_set<std::string> met;  // every address named, canonical
};

GamePlan PlanGame(const SwfEntry& movie, const ExportIndex& index, GameFileServices& s);

// The plan as the web archive takes it: every readable file, then the page.
struct GameFile {
    std::string address;
    CachedFile file;
};

struct GameFileList {
    std::vector<GameFile> files;       // the movie first, then its loads, then the page
    std::vector<std::string> missing;  // loads the cache does not hold, or could not read
    std::optional<std::string> page;   // the embedding page's address, when it is cached
};

// A cached file's body, at most limit bytes once decoded.
Result<CacheBody> ReadGameFile(const CachedFile& file, GameFileServices& s, std::uint64_t limit);

GameFileList FindGameFiles(const SwfEntry& movie, const ExportIndex& index, GameFileServices& s);

}  // namespace pellimor
