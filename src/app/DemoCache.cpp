#include "app/DemoCache.h"

#include <fstream>
#include <vector>

#include "app/SwfMaker.h"
#include "platform/urlcache/CacheWriter.h"

namespace pellimor {

namespace {

struct DemoMovie {
    const char* url;
    std::uint32_t background;
    std::uint32_t shape;
    const char* label;
    const char* loads;               // a relative address the movie loads, or ""
    const char* loadParameter = "";  // the parameter that may name another to load instead
    bool asLevel = false;            // drawn to show over the movie that loads it
};

// 2009-06-15 12:30:00 UTC and on, a day apart.
constexpr std::uint64_t kFirstDate = 0x01C9EDB4FFE71400ULL;
constexpr std::uint64_t kDay = 864'000'000'000ULL;

const std::vector<DemoMovie>& Movies() {
    static const std::vector<DemoMovie> movies = {
        {"http://www.arcade.example/games/rocket.swf", 0xFFF4D6, 0xE03C31, "arcade.example", ""},
        {"http://www.arcade.example/games/snake.swf", 0xE8FFE8, 0x2E8B57, "arcade.example", ""},
        {"http://www.arcade.example/intro.swf", 0xFFFFFF, 0xFF8C00, "arcade.example", ""},
        {"http://www.arcade.example/getmovie.php?id=7", 0xF0F0FF, 0x6A5ACD, "arcade.example", ""},
        {"http://games.arcade.example/puzzle/main.swf", 0xFFF0F5, 0xC71585, "games.arcade.example",
         "levels/level1.swf", "level"},
        {"http://games.arcade.example/puzzle/levels/level1.swf", 0xF5FFFA, 0x20B2AA, "level 1", "",
         "", true},
        {"http://Flashtoons.example/episodes/ep1.swf", 0xFFFACD, 0x8B4513, "Flashtoons.example",
         ""},
        {"http://flashtoons.example/episodes/ep2.swf", 0xFFFACD, 0xD2691E, "flashtoons.example",
         ""},
        {"http://cartoons.example/intro.swf", 0xE0FFFF, 0x1E90FF, "cartoons.example", ""},
        {"http://cartoons.example/shorts/rain.swf", 0xDCDCDC, 0x4682B4, "cartoons.example", ""},
        {"https://cdn.widgets.example/clock/clock.swf", 0x101820, 0xF2AA4C, "widgets.example", ""},
        {"https://cdn.widgets.example/banner.swf?v=3", 0xFFFFFF, 0x008080, "widgets.example", ""},
    };
    return movies;
}

std::string Movie(const DemoMovie& m) {
    MovieDesign design;
    design.background = m.background;
    design.shapeColour = m.shape;
    design.accentColour = m.shape ^ 0x808080;
    design.label = m.label;
    design.loadMovie = m.loads;
    design.loadParameter = m.loadParameter;
    design.asLevel = m.asLevel;
    return MakeSwfMovie(design);
}

}  // namespace

Result<std::string> MakeDemoCache(const std::string& folder) {
    CacheProfileWriter writer(folder, indexdat::Flavour::kInternetExplorer, 1986);
    std::uint64_t date = kFirstDate;
    std::vector<std::string> paths;
    for (const DemoMovie& m : Movies()) {
        ContentEntry entry;
        entry.url = m.url;
        entry.body = Movie(m);
        entry.extension = "swf";
        entry.lastModified = date;
        entry.lastAccess = date + kDay / 2;
        entry.headers = "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n\r\n";
        date += kDay;
        paths.push_back(PELLIMOR_TRY(writer.AddContent(entry)));
    }
    // The pages that embedded movies; the puzzle's names the level to start with, as a
    // version of the level's address the cache holds only without its query.
    const struct {
        const char* url;
        const char* body;
    } pages[] = {
        {"http://www.arcade.example/index.html",
         "<html><body><embed src=\"games/rocket.swf\"></body></html>\n"},
        {"http://games.arcade.example/puzzle/index.html",
         "<html><head><title>Puzzle</title></head><body>\n"
         "<object type=\"application/x-shockwave-flash\" data=\"main.swf\" width=\"400\" "
         "height=\"300\">\n"
         "  <param name=\"movie\" value=\"main.swf\">\n"
         "  <param name=\"flashvars\" value=\"level=levels/level1.swf?v=2\">\n"
         "</object>\n</body></html>\n"},
    };
    for (const auto& p : pages) {
        ContentEntry page;
        page.url = p.url;
        page.body = p.body;
        page.extension = "htm";
        page.lastModified = kFirstDate;
        page.headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
        PELLIMOR_TRY(writer.AddContent(page));
    }
    PELLIMOR_TRY(writer.AddCookie("Cookie:player@arcade.example/", "score\n4200\narcade.example/\n",
                                  kFirstDate));
    PELLIMOR_TRY(writer.AddHistory("Visited: player@http://www.arcade.example/games/rocket.swf",
                                   kFirstDate));
    PELLIMOR_TRY(writer.Save());
    // Two movies left in the cache folders with no entry: the leftovers.
    const struct {
        std::size_t besideMovie;
        const char* name;
        const char* label;
    } leftovers[] = {{0, "orphan[1].swf", "leftover one"}, {3, "lostgame[1].swf", "leftover two"}};
    for (const auto& leftover : leftovers) {
        const std::string& beside = paths[leftover.besideMovie];
        const std::string target = beside.substr(0, beside.rfind('/') + 1) + leftover.name;
        MovieDesign design;
        design.background = 0xEEEEEE;
        design.shapeColour = 0x555555;
        design.label = leftover.label;
        std::ofstream out(target, std::ios::binary);
        out << MakeSwfMovie(design);
        if (!out.flush()) {
            return Fail("cannot write " + target);
        }
    }
    return writer.cacheFolder();
}

}  // namespace pellimor
