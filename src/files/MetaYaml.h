// meta.yaml of an exported game: the description web-game archives read beside its files.
// Every text comes from a cache or a movie, so every one is written double-quoted and
// escaped: no value can end its line, open a new key or carry bytes YAML refuses.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellimor {

// text as a YAML double-quoted scalar. Valid UTF-8 is kept except the characters YAML wants
// escaped; every byte that is not part of valid UTF-8 is written as \xNN.
std::string YamlQuoted(std::string_view text);

struct MetaPage {
    std::string address;       // the page the movie was embedded in
    std::string embeddedWith;  // "object", "embed", "swfobject.embedSWF"
    std::string flashvars;
    std::string base;
    std::string width;
    std::string height;
};

struct MetaFile {
    std::string address;
    std::string path;  // relative to the game's folder
};

// The archive's own fields first, spelled as its launcher writes them; what the cache and the
// movie tell beyond them follows under names the archive does not use.
struct GameMeta {
    std::string title;
    std::string library = "arcade";          // "arcade" or "theatre"
    std::optional<std::string> releaseDate;  // YYYY-MM-DD
    std::string languages;                   // ISO 639-1 codes, "; " between; empty: unknown
    std::string tags;                        // "; " between
    std::string source;
    std::string status;  // "Playable" or "Partial"
    std::string applicationPath;
    std::string launchCommand;
    std::string curationNotes;  // which value came from where, what is missing
    std::optional<MetaPage> page;
    // The movie's facts as key and text, in order ("Signature", "CWS" ...).
    std::vector<std::pair<std::string, std::string>> facts;
    std::vector<MetaFile> files;
    std::vector<std::string> notes;
};

std::string MetaYamlText(const GameMeta& meta);

}  // namespace pellimor
