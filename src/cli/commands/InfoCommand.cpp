// pellimor-cli info: what each movie says about itself, from the cache or from any file.
#include <iostream>
#include <optional>
#include <variant>

#include "app/PlatformTools.h"
#include "catalogue/BodyReading.h"
#include "catalogue/SwfFacts.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/SwfFactsText.h"
#include "cli/commands/CachedMovies.h"

namespace pellimor {

namespace {

constexpr CommandOption kOptions[] = {
    {"--site", true}, {"--url", true}, {"--file", true}, {"--json"}};

// The facts of files outside the cache, each read as a movie; kExitFailed when one cannot be.
int ReadFiles(const std::vector<std::string>& paths, FileOps& files, Decompressor& decompressor,
              std::vector<std::pair<FactsSource, SwfFacts>>& read) {
    int status = kExitDone;
    for (const std::string& path : paths) {
        const auto start =
            ReadBodyStart(nullptr, files, CachedFile{path, {}, {}, std::nullopt}, kFactsReadLimit);
        if (!start) {
            Report(kExitFailed, start.error().empty() ? path + ": cannot be read" : start.error());
            status = kExitFailed;
            continue;
        }
        read.emplace_back(FactsSource{path, {}, {}}, FactsOf(*start, decompressor));
    }
    return status;
}

int Run(const std::vector<std::string>& arguments) {
    const CommandWords words = ReadWords(arguments, "info", kOptions);
    Selection a = SelectionOf(words);
    const std::vector<std::string> paths = words.Values("--file");
    const bool json = words.Has("--json");
    const bool named = !a.names.empty() || !a.urls.empty();
    if (a.error.empty() && !paths.empty() && (named || !a.site.empty())) {
        a.error = "--file reads files outside the cache: give no NAME or --site with it";
    }
    if (a.error.empty() && paths.empty() && !named) {
        a.error = "name the movies (NAME, or --file PATH)";
    }
    if (!a.error.empty()) {
        return UsageError("info", a.error);
    }
    PlatformTools tools;
    Decompressor& decompressor = tools.decompressor;
    std::vector<std::pair<FactsSource, SwfFacts>> read;
    int status = kExitDone;
    if (!paths.empty()) {
        status = ReadFiles(paths, tools.files, decompressor, read);
    } else {
        OpenedListing listing;
        auto chosen = ChooseCachedMovies(a, listing);
        if (const int* failed = std::get_if<int>(&chosen)) {
            return *failed;
        }
        for (const CachedMovie& m : std::get<std::vector<CachedMovie>>(chosen)) {
            if (!m.start) {
                Report(kExitFailed, m.entry.displayName + ": " + m.error);
                status = kExitFailed;
                continue;
            }
            read.emplace_back(FactsSource{m.entry.displayName, m.entry.url, m.entry.site},
                              FactsOf(*m.start, decompressor));
        }
    }
    std::string out = json ? "[" : "";
    for (std::size_t i = 0; i < read.size(); ++i) {
        const auto& [source, facts] = read[i];
        if (facts.signature.empty()) {
            status = kExitFailed;  // shown, but what was asked for is no movie
        }
        out += json ? (i == 0 ? "\n  " : ",\n  ") + FactsAsJson(source, facts)
                    : (i == 0 ? "" : "\n") + FactsAsText(source, facts);
    }
    std::cout << out << (json ? "\n]\n" : "");
    return status;
}

}  // namespace

extern const Command kInfoCommand{
    .name = "info",
    .summary =
        "  info   [--site S] NAME... [--json] | --file PATH... [--json]\n"
        "                                             a movie's facts: version, script, stage,\n"
        "                                             frames, compression, what it may load\n",
    .usage =
        "Usage: pellimor-cli info [--site S] NAME... [--url ADDRESS]... [--json] [OPTIONS]\n"
        "       pellimor-cli info --file PATH... [--json]\n"
        "\n"
        "Prints what each movie says about itself: signature and compression, version, "
        "declared\n"
        "length against the bytes present, stage size, frame rate and count, background,\n"
        "ActionScript 1/2 or 3, network access, its tags, metadata and build, the addresses "
        "and\n"
        "files it may load (as written in it) and the host names it carries. A movie cut short\n"
        "gives its facts as far as they go and where reading stopped.\n"
        "\n"
        "  NAME             every movie listed under this name\n"
        "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
        "  --site S         only the sites whose name contains S\n"
        "  --file PATH      any SWF file, in the cache or not; repeatable\n"
        "  --json           one JSON array of objects instead of text\n",
    .options = kOptions,
    .run = Run,
};

}  // namespace pellimor
