#include "cli/ExportCommand.h"

#include <ctime>
#include <iostream>
#include <set>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "cli/CommandStart.h"
#include "cli/Commands.h"
#include "cli/Listing.h"
#include "cli/MovieChoice.h"
#include "cli/MoviePictures.h"
#include "cli/TerminalText.h"
#include "files/AddressPaths.h"
#include "files/ExportGame.h"
#include "files/PackGame.h"
#include "files/warc/WebArchive.h"
#include "platform/archive/ArchiveFilePosix.h"
#include "platform/archive/ZlibGzip.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/ExportFolderPosix.h"
#include "sites/Addresses.h"

namespace pellimor {

namespace {

// Writes the games as a web archive at path; the exit status.
int WriteArchive(const std::string& path, WebArchiveForm form,
                 const std::vector<WebArchiveGame>& games, GameFileServices& read,
                 GzipCompressor& gzip) {
    const auto now = static_cast<UnixTime>(std::time(nullptr));
    auto file =
        ArchiveFilePosix::Create(path,
                                 form == WebArchiveForm::kWacz ? ArchiveFilePosix::Form::kZip
                                                               : ArchiveFilePosix::Form::kPlain,
                                 now);
    if (!file) {
        return Report(kExitFailed, file.error());
    }
    WebArchiveServices s{read.cache, read.files, read.decompressor, gzip, **file};
    const auto written = WriteWebArchive(games, form, now, "Pellimor 0.1.0", s);
    if (!written) {
        return Report(kExitFailed, path + ": " + written.error());
    }
    std::cout << ForTerminal(path) << "  " << written->records
              << (written->records == 1 ? " record" : " records") << "\n";
    for (const std::string& note : written->notes) {
        std::cout << "  " << ForTerminal(note) << "\n";
    }
    return kExitDone;
}

}  // namespace

int RunExport(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    AcceptOnly(s, "export",
               {"--site", "--to", "--url", "--warc", "--wacz", "--language", "--tags", "--library",
                "--application-path", "--zip", "--no-pictures"});
    if (s.error.empty() && s.names.empty() && s.urls.empty()) {
        s.error = "name the movies to export";
    }
    if (s.error.empty() && s.to.empty() && s.warc.empty() && s.wacz.empty()) {
        s.error = "say where to export with --to DIR, --warc FILE or --wacz FILE";
    }
    if (s.error.empty() && !s.library.empty() && s.library != "arcade" && s.library != "theatre") {
        s.error = "--library is arcade (games) or theatre (animations)";
    }
    if (s.error.empty() && s.zip && s.to.empty()) {
        s.error = "--zip packs what --to DIR exports: give --to DIR";
    }
    if (!s.error.empty()) {
        return UsageError("export", s.error);
    }
    CurationChoices choices;
    choices.language = s.language;
    choices.tags = s.tags;
    if (!s.library.empty()) {
        choices.library = s.library;
    }
    if (!s.applicationPath.empty()) {
        choices.applicationPath = s.applicationPath;
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
    std::unique_ptr<ExportFolderPosix> folder;
    if (!s.to.empty()) {
        auto opened = ExportFolderPosix::Open(s.to);
        if (!opened) {
            return Report(kExitFailed, opened.error());
        }
        folder = std::move(*opened);
    }
    ExportIndex index;
    if (const Status built = index.Build(session->cache(), session->files()); !built.ok()) {
        std::cerr << ErrorLines("the cache could not be read whole: " + built.error());
    }
    SwfDecompressor decompressor;
    std::set<std::string> folderNames;
    std::vector<WebArchiveGame> webGames;
    GameFileServices gameFiles{session->cache(), session->files(), decompressor};
    int status = kExitDone;
    for (const std::int32_t key : choice.keys) {
        for (const SwfEntry& entry : state.catalogue) {
            if (entry.key != key) {
                continue;
            }
            if (!s.warc.empty() || !s.wacz.empty()) {
                if (entry.IsLeftover() || !IsWebAddress(entry.url)) {
                    status = kExitFailed;
                    Report(kExitFailed, entry.displayName +
                                            ": a file without an address of the web has no "
                                            "place in a web archive");
                } else {
                    webGames.push_back(
                        WebArchiveGame{entry.displayName, FindGameFiles(entry, index, gameFiles)});
                }
            }
            if (!folder) {
                continue;
            }
            ExportServices services{session->cache(), session->files(), decompressor, *folder,
                                    &session->saves()};
            const std::string name = GameFolderName(entry.displayName, folderNames);
            const auto done = ExportGame(entry, name, index, services, choices);
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
            GameExport game = *done;
            if (s.noPictures) {
                game.notReady.push_back("no logo.png or ss.png: --no-pictures");
            } else if (auto pictures = TakeMoviePictures(
                           s.options, entry.url, done->stageWidth > 0 ? done->stageWidth : 550,
                           done->stageHeight > 0 ? done->stageHeight : 400)) {
                PutCurationPictures(*folder, game, pictures->logo, pictures->screenshot);
            } else {
                game.notReady.push_back("no logo.png or ss.png: " + pictures.error());
            }
            const std::vector<std::string>& notReady = game.notReady;
            const std::vector<std::string>& written = game.written;
            for (const std::string& why : notReady) {
                std::cout << "  not ready  " << ForTerminal(why) << "\n";
            }
            if (s.zip) {
                const std::string zipPath = s.to + "/" + done->folder + ".zip";
                auto zip = ArchiveFilePosix::Create(zipPath, ArchiveFilePosix::Form::kZip,
                                                    static_cast<UnixTime>(std::time(nullptr)));
                Status packed =
                    zip ? PackGame(done->folder, written, done->metaFile, *folder, **zip)
                        : Status(Failure{zip.error()});
                if (packed.ok()) {
                    std::cout << "  packed  " << ForTerminal(zipPath) << "\n";
                } else {
                    status = kExitFailed;
                    Report(kExitFailed, packed.error());
                }
            }
        }
    }
    ZlibGzip gzip;
    const auto archive = [&](const std::string& path, WebArchiveForm form) {
        if (path.empty() || webGames.empty()) {
            return;
        }
        if (WriteArchive(path, form, webGames, gameFiles, gzip) != kExitDone) {
            status = kExitFailed;
        }
    };
    archive(s.warc, WebArchiveForm::kWarc);
    archive(s.wacz, WebArchiveForm::kWacz);
    return status;
}

}  // namespace pellimor
