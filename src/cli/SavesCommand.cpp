#include "cli/SavesCommand.h"

#include <iostream>
#include <set>

#include "catalogue/DisplayTexts.h"
#include "catalogue/MovieSaves.h"
#include "catalogue/SolFile.h"
#include "cli/CommandStart.h"
#include "cli/Commands.h"
#include "cli/Listing.h"
#include "cli/TerminalText.h"
#include "sites/ParseUrl.h"

namespace pellimor {

namespace {

struct SaveLine {
    const FoundSave* save;
    std::vector<const SwfEntry*> movies;
};

std::string SaveAsText(const SaveLine& line, const SolContents& sol) {
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

std::string SaveAsJson(const SaveLine& line, const SolContents& sol) {
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

}  // namespace

int RunSaves(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    AcceptOnly(s, "saves", {"--site", "--json"});
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
    std::vector<SaveLine> lines;
    for (const FoundSave& save : session->saves()) {
        SaveLine line{&save, {}};
        bool ofSite =
            s.site.empty() || SiteFromUrl("http://" + save.host).find(s.site) != std::string::npos;
        bool ofChosen = false;
        for (const SwfEntry& movie : state.catalogue) {
            const auto movieScope = movie.IsLeftover() ? std::nullopt : SaveScopeOf(movie.url);
            if (!movieScope || !SaveBelongsTo(save, *movieScope)) {
                continue;
            }
            line.movies.push_back(&movie);
            ofSite = ofSite || movie.site.find(s.site) != std::string::npos;
            ofChosen = ofChosen || chosen.contains(movie.key);
        }
        if (ofSite && (s.names.empty() || ofChosen)) {
            lines.push_back(std::move(line));
        }
    }
    std::string out = s.json ? "[" : "";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SolContents sol = ReadSol(lines[i].save->bytes);
        out += s.json ? (i == 0 ? "\n  " : ",\n  ") + SaveAsJson(lines[i], sol)
                      : (i == 0 ? "" : "\n") + SaveAsText(lines[i], sol);
    }
    if (!s.json && lines.empty()) {
        out = "no saves found\n";
    }
    std::cout << out << (s.json ? (lines.empty() ? "]\n" : "\n]\n") : "");
    return kExitDone;
}

}  // namespace pellimor
