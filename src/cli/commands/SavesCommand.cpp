// pellimor-cli saves: Flash Player's saves found beside the caches, each with the cached
// movies it belongs to; with --json their values too.
#include <iostream>
#include <set>

#include "app/Session.h"
#include "catalogue/DisplayTexts.h"
#include "catalogue/MovieSaves.h"
#include "catalogue/SolFile.h"
#include "cli/CacheOpening.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/Listing.h"
#include "cli/TerminalText.h"
#include "operations/PlayedSaves.h"

namespace pellimor {

namespace {

constexpr CommandOption kOptions[] = {{"--site", true}, {"--json"}};

std::string SaveAsText(const SaveWithMovies& line, const SolContents& sol) {
    const FoundSave& save = *line.save;
    std::string text = ForTerminal(save.name) + "  " + ForTerminal(save.host) + "  " +
                       ForTerminal(SavePathText(save)) + "  " + FormatSizeText(save.bytes.size()) +
                       "  " + (save.modified ? FormatUtcTime(*save.modified) : "") +
                       (sol.isSol ? "  AMF" + std::to_string(sol.amfVersion) : "  not a save") +
                       "\n  file   " + ForTerminal(save.file) + "\n";
    if (!sol.error.empty()) {
        text += "  damaged at byte " + std::to_string(sol.stoppedAt) + ": " +
                ForTerminal(sol.error) + "\n";
    }
    for (const SwfEntry* movie : line.movies) {
        text +=
            "  movie  " + ForTerminal(movie->displayName) + "  " + ForTerminal(movie->url) + "\n";
    }
    if (line.movies.empty()) {
        text += "  (no cached movie)\n";
    }
    return text;
}

std::string SaveAsJson(const SaveWithMovies& line, const SolContents& sol) {
    const FoundSave& save = *line.save;
    std::string json =
        "{\"file\": " + JsonString(save.file) + ", \"host\": " + JsonString(save.host) +
        ", \"path\": " + JsonString(SavePathText(save)) + ", \"name\": " + JsonString(save.name) +
        ", \"size\": " + std::to_string(save.bytes.size()) +
        ", \"modified\": " + (save.modified ? JsonString(FormatIsoTime(*save.modified)) : "null") +
        ", \"amfVersion\": " + (sol.isSol ? std::to_string(sol.amfVersion) : std::string("null")) +
        ", \"storageKey\": " + JsonString(RuffleStorageKey(save)) + ", \"movies\": [";
    for (std::size_t i = 0; i < line.movies.size(); ++i) {
        json += (i == 0 ? "" : ", ") + std::string("{\"name\": ") +
                JsonString(line.movies[i]->displayName) +
                ", \"url\": " + JsonString(line.movies[i]->url) + "}";
    }
    json += "], \"values\": " + AmfValuesAsJson(sol.values) + ", \"damaged\": " +
            (sol.error.empty() ? std::string("null")
                               : "{\"at\": " + std::to_string(sol.stoppedAt) +
                                     ", \"why\": " + JsonString(sol.error) + "}") +
            "}";
    return json;
}

int Run(const std::vector<std::string>& arguments) {
    const CommandWords words = ReadWords(arguments, "saves", kOptions);
    Selection s = SelectionOf(words);
    const bool json = words.Has("--json");
    if (!s.error.empty()) {
        return UsageError("saves", s.error);
    }
    auto opened = OpenListing(s);
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    auto& [session, state] = std::get<OpenedListing>(opened);
    for (const std::string& problem : session->saveProblems()) {
        std::cerr << ErrorLines(problem);
    }
    std::set<std::int32_t> chosen;
    if (!s.names.empty()) {
        MovieRequest request = RequestOf(s);
        request.allMatching = true;
        const MovieChoice choice = ChooseMovies(state, request);
        if (const auto refused = RefuseChoice(choice, "shown", false)) {
            return *refused;
        }
        chosen.insert(choice.keys.begin(), choice.keys.end());
    }
    const std::vector<SaveWithMovies> lines =
        ListSaves(session->saves(), state.catalogue, s.site, s.names.empty() ? nullptr : &chosen);
    std::string out = json ? "[" : "";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SolContents sol = ReadSol(lines[i].save->bytes);
        out += json ? (i == 0 ? "\n  " : ",\n  ") + SaveAsJson(lines[i], sol)
                    : (i == 0 ? "" : "\n") + SaveAsText(lines[i], sol);
    }
    if (!json && lines.empty()) {
        out = "no saves found\n";
    }
    std::cout << out << (json ? (lines.empty() ? "]\n" : "\n]\n") : "");
    return kExitDone;
}

}  // namespace

extern const Command kSavesCommand{
    .name = "saves",
    .summary =
        "  saves  [--site S] [NAME...] [--json]       Flash Player's saves found beside the\n"
        "                                             caches, each with its movies\n",
    .usage =
        "Usage: pellimor-cli saves [--site S] [NAME...] [--json] [OPTIONS]\n"
        "\n"
        "Lists Flash Player's saves (local shared objects, .sol files) found beside the caches\n"
        "under #SharedObjects folders (Flash Player on Windows and Linux, Chrome's own Flash,\n"
        "Wine prefixes): each with its file, host, path, name, size, time, AMF version and the\n"
        "cached movies it belongs to (same host, the save's path a prefix of the movie's\n"
        "address path), or (no cached movie). The saves are only read.\n"
        "\n"
        "  NAME             only the saves of the movies listed under this name\n"
        "  --site S         only the saves of sites whose name contains S\n"
        "  --json           one JSON document, with each save's values and the key Ruffle's\n"
        "                   web player keeps it under\n",
    .options = kOptions,
    .run = Run,
};

}  // namespace pellimor
