// The player log's lines as Ruffle's console gives them to the page and as they are printed.
#include <gtest/gtest.h>

#include "ui/player/ConsoleText.h"

namespace pellimor {
namespace {

struct Row {
    const char* line;
    const char* printed;
};

TEST(ConsoleTextTest, StylesAreDroppedAndTheTextKept) {
    const Row rows[] = {
        // Lines seen from Ruffle 0.6 in the preview.
        {"%cINFO%c web/src/lib.rs:1416%c Ruffle WASM module has been initialized color: "
         "whitesmoke; background: #444 color: gray; font-style: italic color: inherit",
         "INFO web/src/lib.rs:1416 Ruffle WASM module has been initialized"},
        {"%cNew Ruffle instance created (Version: 0.6.0 | WebAssembly extensions: ON | Used "
         "renderer: canvas) background: #37528C; color: #FFAD33",
         "New Ruffle instance created (Version: 0.6.0 | WebAssembly extensions: ON | Used "
         "renderer: canvas)"},
        {"%cERROR%c Error #2067: The ExternalInterface is not available color: red; "
         "font-weight:bold color: inherit",
         "ERROR Error #2067: The ExternalInterface is not available"},
        // Without directives nothing changes, whatever it looks like.
        {"Loading SWF file https://cdn.widgets.example/banner.swf?v=3",
         "Loading SWF file https://cdn.widgets.example/banner.swf?v=3"},
        {"trace: color: red", "trace: color: red"},
        {"", ""},
        // Empty styles, styles only, words of the movie that are no styles.
        {"%chello ", "hello"},
        {"%c%c%c", ""},
        {"%c color: red", ""},
        {"%cscore: 10 colour: blue color: red", "score: 10 colour: blue"},
        {"%cthe url: url(http://x) color: red", "the url: url(http://x)"},
        {"%c%", "%"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PlainConsoleText(row.line), row.printed) << row.line;
    }
}

// A movie can log anything, as long as it likes.
TEST(ConsoleTextTest, HugeLinesAreCleaned) {
    std::string styles = "%cx";
    std::string line;
    for (int i = 0; i < 200'000; ++i) {
        styles += " color: red;";
        line += "%c";
    }
    EXPECT_EQ(PlainConsoleText(styles), "x");
    EXPECT_EQ(PlainConsoleText(line), "");
    EXPECT_EQ(PlainConsoleText(std::string(1 << 20, ' ') + "%c"), "");
}

}  // namespace
}  // namespace pellimor
