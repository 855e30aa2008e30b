// Small, real, playable SWF movies: coloured shapes that move, a text label, optionally a
// second movie loaded by a relative address, which the movie's page may name instead. The
// demo cache is made of them.
#pragma once

#include <cstdint>
#include <string>

namespace pellimor {

struct MovieDesign {
    std::uint32_t background = 0xFFFFFF;  // RGB
    std::uint32_t shapeColour = 0xCC3333;
    std::uint32_t accentColour = 0x3366CC;
    std::string label;  // shown in the movie
    int width = 400;    // stage size in pixels
    int height = 300;
    int frames = 48;
    std::string loadMovie;  // a movie to load into level 1 (a relative address), or empty
    // With loadMovie: the _root variable (a parameter its page gives it) that names the movie
    // to load instead; loadMovie is its value when the page gives none. A line under the label
    // shows its value.
    std::string loadParameter;
    // Drawn to be loaded over another movie: a small still square with the label beside it,
    // in the band between the other's moving square and its bar, so that both show.
    bool asLevel = false;
};

// The bytes of an uncompressed SWF (version 8) made from the design.
std::string MakeSwfMovie(const MovieDesign& design);

}  // namespace pellimor
