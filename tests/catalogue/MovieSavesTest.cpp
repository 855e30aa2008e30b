// Which saves belong to which movie, and the key Ruffle's web player keeps each under, for
// every form of SharedObject.getLocal (the window's player test checks the keys against the
// real Ruffle).
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/MovieSaves.h"

namespace pellimor {
namespace {

FoundSave Save(std::string host, std::vector<std::string> path, std::string name) {
    FoundSave save;
    save.host = std::move(host);
    save.path = std::move(path);
    save.name = std::move(name);
    return save;
}

// A save belongs to the movies of its host (letter case aside) whose path starts with the
// save's folders; Ruffle keeps it under a key that gives the save back. Each form of
// getLocal (a folder, the host alone, a name with "/") is played under its key by the real
// Ruffle in the window's save tests.
TEST(MovieSaves, ASaveBelongsToItsHostsMoviesBelowItsPathUnderRufflesKey) {
    const char* const movie = "http://www.Games.example/arcade/run.swf?level=2#top";
    const FoundSave played = Save("localhost", {"games", "run.swf"}, "progress");
    const struct {
        const char* movie;
        FoundSave save;
        bool belongs;
        const char* key;
    } cases[] = {
        {movie, Save("www.games.example", {"arcade", "run.swf"}, "progress"), true,
         "www.games.example/arcade/run.swf/progress"},
        {movie, Save("www.games.example", {"arcade", "jump.swf"}, "progress"), false,
         "www.games.example/arcade/jump.swf/progress"},
        {movie, Save("www.games.example", {"arc"}, "x"), false, "www.games.example/arc/x"},
        {movie, Save("games.example", {"arcade", "run.swf"}, "progress"), false,
         "games.example/arcade/run.swf/progress"},
        // Movies played from files keep their saves under "localhost".
        {"file:///C:/games/run.swf", played, true, "localhost/games/run.swf/progress"},
        {"file:///games/run.swf", played, true, "localhost/games/run.swf/progress"},
        {"http://localhost.example/games/run.swf", played, false,
         "localhost/games/run.swf/progress"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.movie) + " " + c.key);
        const auto scope = SaveScopeOf(c.movie);
        ASSERT_TRUE(scope);
        EXPECT_EQ(SaveBelongsTo(c.save, *scope), c.belongs);
        EXPECT_EQ(RuffleStorageKey(c.save), c.key);
        const auto back = SaveOfRuffleKey(c.key);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->host, c.save.host);
        EXPECT_EQ(back->path, c.save.path);
        EXPECT_EQ(back->name, c.save.name);
    }
}

// A file found on disk (a leftover) has the saves Flash Player kept for the path it was
// opened from, which the path read now ends with, or for "localhost" alone; Ruffle asks for
// them under the address the player's page serves the file from.
TEST(MovieSaves, AFileFoundOnDiskHasTheLocalhostSavesOfItsPath) {
    const std::string file = "/mnt/old/Users/bob/Desktop/run.swf";
    const std::string played = "pellimor://player/file?path=%2Fmnt%2Fold%2Frun.swf";
    const struct {
        FoundSave save;
        bool belongs;
        const char* key;   // what Ruffle asks for, played from the player's page
        const char* back;  // the key written out after play: the file's path in full
    } cases[] = {
        {Save("localhost", {"Users", "bob", "Desktop", "run.swf"}, "progress"), true,
         "player/file/progress", "localhost/mnt/old/Users/bob/Desktop/run.swf/progress"},
        {Save("LocalHost", {"mnt", "old", "Users", "bob", "Desktop", "run.swf"}, "a/b"), true,
         "player/file/#a/b", "localhost/mnt/old/Users/bob/Desktop/run.swf/#a/b"},
        {Save("localhost", {"Users", "bob", "Desktop"}, "hi"), false, "", ""},
        {Save("localhost", {"Desktop", "jump.swf"}, "progress"), false, "", ""},
        {Save("localhost", {"x", "mnt", "old", "Users", "bob", "Desktop", "run.swf"}, "p"), false,
         "", ""},
        {Save("games.example", {"Desktop", "run.swf"}, "progress"), false, "", ""},
    };
    std::vector<FoundSave> saves;
    for (const auto& c : cases) {
        saves.push_back(c.save);
    }
    const std::vector<std::size_t> found = SavesOfFile(saves, file);
    for (std::size_t i = 0; i < saves.size(); ++i) {
        SCOPED_TRACE(RuffleStorageKey(saves[i]));
        EXPECT_EQ(std::find(found.begin(), found.end(), i) != found.end(), cases[i].belongs);
        if (cases[i].belongs) {
            EXPECT_EQ(RuffleStorageKeyAt(saves[i], played), cases[i].key);
            EXPECT_EQ(FileSaveKeyOf(cases[i].key, played, file), cases[i].back);
        }
    }
    // A file in a Wine prefix: the key names no hidden folder, so that it can name a file.
    const std::string key =
        FileSaveKeyOf("player/file/progress", played, "/home/ada/.wine/drive_c/users/ada/run.swf");
    EXPECT_EQ(key, "localhost/drive_c/users/ada/run.swf/progress");
    EXPECT_TRUE(SaveOfRuffleKey(key));
}

// A key from the page's storage names files below a folder: nothing that would lead out.
TEST(MovieSaves, KeysThatCannotNameFilesAreRefused) {
    for (const char* key : {"", "host", "../x", "host/../x", "host/a/..", "host/#../x", "host/./x",
                            "host/#a/../b", "host/a/..b"}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(SaveOfRuffleKey(key));
    }
    EXPECT_TRUE(SaveOfRuffleKey("host/a/b..c"));
}

}  // namespace
}  // namespace pellimor
