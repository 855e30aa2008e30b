#include "cli/ExportCommand.h"

#include <iostream>
#include <set>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "cli/CommandStart.h"
#include "cli/Commands.h"
#include "cli/Listing.h"
#include "cli/MovieChoice.h"
#include "cli/TerminalText.h"
#include "files/AddressPaths.h"
#include "files/ExportGame.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/ExportFolderPosix.h"

namespace pellimor {

int RunExport(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    AcceptOnly(s, "export", {"--site", "--to", "--url"});
    if (s.error.empty() && s.names.empty() && s.urls.empty()) {
        s.error = "name the movies to export";
    }
    if (s.error.empty() && s.to.empty()) {
        s.error = "say where to export with --to DIR";
    }
    if (!s.error.empty()) {
        return UsageError("export", s.error);
    }
    auto opened = OpenListing(s, "; nothing exported");
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    auto& [session, state] = std::get<OpenedListing>(opened);
    MovieRequest request = RequestOf(s);
    request.allMatching = true;
    const MovieChoice choice = ChooseMovies(state, request);
    if (const auto refused = RefuseChoice(choice, "exported", false)) {
        return *refused;
    }
    auto folder = ExportFolderPosix::Open(s.to);
    if (!folder) {
        return Report(kExitFailed, folder.error());
    }
    ExportIndex index;
    if (const Status built = index.Build(session->cache(), session->files()); !built.ok()) {
        std::cerr << ErrorLines("the cache could not be read whole: " + built.error());
    }
    SwfDecompressor decompressor;
    ExportServices services{session->cache(), session->files(), decompressor, **folder,
                            &session->saves()};
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
            std::string text = ForTerminal(s.to + "/" + done->folder) + "  " +
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
