// The curation's pictures from the terminal: pellimor-shot (beside this program) plays the
// movie offscreen in the window's player and writes logo.png and ss.png; this runs it as a
// child process, bounded in time, so that pellimor-cli itself links no Qt.
#pragma once

#include <string>

#include "app/CommandLine.h"
#include "ports/Result.h"

namespace pellimor {

struct MoviePictures {
    std::string logo;  // PNG bytes
    std::string screenshot;
};

Result<MoviePictures> TakeMoviePictures(const ProgramOptions& options, const std::string& url,
                                        int width, int height);

}  // namespace pellimor
