#include "cli/ExportCommand.h"

#include <iostream>
#include <set>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "cli/Commands.h"
#include "cli/Listing.h"
#include "cli/MovieChoice.h"
#include "cli/TerminalText.h"
#include "files/AddressPaths.h"
#include "files/ExportGame.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/ExportFolderPosix.h"

namespace pellimor {

namespace {

struct ExportArguments {
    ProgramOptions options;
    std::vector<std::string> names;
    std::vector<std::string> urls;
    std::string site;
    std::string to;
    std::string error;
};

ExportArguments ReadArguments(const std::vector<std::string>& arguments) {
    ExportArguments a;
    a.options = ReadProgramOptions(arguments);
    a.error = a.options.error;
    const auto& rest = a.options.rest;
    for (std::size_t i = 0; i < rest.size() && a.error.empty(); ++i) {
        const std::string& word = rest[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= rest.size()) {
                a.error = word + " needs a value";
                return {};
            }
            return rest[++i];
        };
        if (word == "--site") {
            a.site = value();
        } else if (word == "--to") {
            a.to = value();
        } else if (word == "--url") {
            a.urls.push_back(value());
        } else if (word.rfind("--", 0) == 0) {
            a.error = "unknown option " + word;
        } else {
            a.names.push_back(word);
        }
    }
    if (a.error.empty() && a.names.empty() && a.urls.empty()) {
        a.error = "name the movies to export";
    }
    if (a.error.empty() && a.to.empty()) {
        a.error = "say where to export with --to DIR";
    }
    return a;
}

int Report(int status, const std::string& message) {
    std::cerr << ErrorLines(message);
    return status;
}

}  // namespace

int RunExport(const std::vector<std::string>& arguments) {
    const ExportArguments a = ReadArguments(arguments);
    if (!a.error.empty()) {
        return Report(kExitUsage, a.error + " (see pellimor-cli export --help)");
    }
    Session session(a.options);
    if (!session.cacheFolder()) {
        return Report(kExitFailed, "no cache found: give its folder with --cache DIR");
    }
    ListingState state;
    state.site = a.site;
    ScanCache(state, session.listing());
    if (!state.cacheError.empty() && state.movieLines.empty()) {
        return Report(kExitFailed, state.cacheError);
    }
    if (!state.cacheError.empty()) {
        std::cerr << ErrorLines(state.cacheError);
    }
    MovieRequest request;
    request.site = a.site;
    request.names = a.names;
    request.urls = a.urls;
    request.allMatching = true;
    const MovieChoice choice = ChooseMovies(state, request);
    if (!choice.refusal.empty()) {
        return Report(kExitUsage, choice.refusal);
    }
    if (!choice.missing.empty()) {
        std::string names;
        for (const std::string& m : choice.missing) {
            names += (names.empty() ? "" : ", ") + ForTerminal(m);
        }
        return Report(kExitUsage,
                      "nothing in this listing matches " + names + "; nothing exported");
    }
    auto folder = ExportFolderPosix::Open(a.to);
    if (!folder) {
        return Report(kExitFailed, folder.error());
    }
    ExportIndex index;
    if (const Status built = index.Build(session.cache(), session.files()); !built.ok()) {
        std::cerr << ErrorLines("the cache could not be read whole: " + built.error());
    }
    SwfDecompressor decompressor;
    ExportServices services{session.cache(), session.files(), decompressor, **folder};
    std::set<std::string> folderNames;
    int status = kExitDone;
    for (const std::int32_t key : choice.keys) {
        for (const SwfEntry& entry : state.catalogue) {
            if (entry.key != key) {
                continue;
            }
            const std::string name = GameFolderName(entry.displayName, folderNames);
            const auto done = ExportGame(entry, name, index, services);
            if (!done) {
                status = kExitFailed;
                Report(kExitFailed, done.error());
                continue;
            }
            std::string text = ForTerminal(a.to + "/" + done->folder) + "  " +
                               (done->playable ? "Playable" : "Partial") + ", " +
                               std::to_string(done->files) +
                               (done->files == 1 ? " file, " : " files, ") +
                               std::to_string(done->missing.size()) + " missing";
            if (done->metaFile != "meta.yaml") {
                text += ", described in " + ForTerminal(done->metaFile);
            }
            std::cout << text << "\n";
            for (const std::string& address : done->missing) {
                std::cout << "  missing  " << ForTerminal(address) << "\n";
            }
        }
    }
    return status;
}

}  // namespace pellimor
