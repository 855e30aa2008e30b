// A movie that keeps a save: in its first frame it opens a shared object
// (SharedObject.getLocal(name) or getLocal(name, localPath)), traces what the save held
// ("pellimor-save <name> score=<score>"), copies the saved score to "seen", stores its own
// score and flushes. For the tests and the demo of playing with saves.
#pragma once

#include <optional>
#include <string>

namespace pellimor {

struct SaveMovieDesign {
    std::string name = "progress";         // the shared object's name
    std::optional<std::string> localPath;  // getLocal's second argument, when given
    std::string score = "level 2";         // what the movie stores as "score"
};

// The bytes of an uncompressed SWF (version 8, ActionScript 2).
std::string MakeSwfSaveMovie(const SaveMovieDesign& design);

}  // namespace pellimor
