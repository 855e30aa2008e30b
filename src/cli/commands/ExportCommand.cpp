// pellimor-cli export: chosen movies as games whole, each with the files it loads under its
// addresses and a meta.yaml, in a folder of its own or a web archive.
#include <ctime>
#include <iostream>
#include <set>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "cli/CacheOpening.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/Listing.h"
#include "cli/MovieChoice.h"
#include "cli/MoviePictures.h"
#include "cli/TerminalText.h"
#include "files/AddressPaths.h"
#include "files/Curation.h"
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

constexpr CommandOption kOptions[] = {
    {"--site", true}, {"--to", true},      {"--url", true},
    {"--warc", true}, {"--wacz", true},    {"--language", true},
    {"--tags", true}, {"--library", true}, {"--application-path", true},
    {"--zip"},        {"--no-pictures"},
};

// What export is asked for: the movies, where they go, and the curation's own values.
struct ExportRequest {
    Selection s;
    std::string to;
    std::string warc;
    std::string wacz;
    bool zip = false;
    bool noPictures = false;
    CurationChoices choices;
};

ExportRequest ReadRequest(const std::vector<std::string>& arguments) {
    const CommandWords words = ReadWords(arguments, "export", kOptions);
    ExportRequest r{SelectionOf(words),
                    words.Value("--to"),
                    words.Value("--warc"),
                    words.Value("--wacz"),
                    words.Has("--zip"),
                    words.Has("--no-pictures"),
                    {}};
    Selection& s = r.s;
    const std::string library = words.Value("--library");
    if (s.error.empty() && s.names.empty() && s.urls.empty()) {
        s.error = "name the movies to export";
    }
    if (s.error.empty() && r.to.empty() && r.warc.empty() && r.wacz.empty()) {
        s.error = "say where to export with --to DIR, --warc FILE or --wacz FILE";
    }
    if (s.error.empty() && !library.empty() && library != "arcade" && library != "theatre") {
        s.error = "--library is arcade (games) or theatre (animations)";
    }
    if (s.error.empty() && r.zip && r.to.empty()) {
        s.error = "--zip packs what --to DIR exports: give --to DIR";
    }
    r.choices.language = words.Value("--language");
    r.choices.tags = words.Value("--tags");
    if (!library.empty()) {
        r.choices.library = library;
    }
    if (const std::string path = words.Value("--application-path"); !path.empty()) {
        r.choices.applicationPath = path;
    }
    return r;
}

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

// The line of an exported game, and a line for each address it lacks.
void PrintExported(const std::string& to, const GameExport& done) {
    std::string text = ForTerminal(to + "/" + done.folder) + "  " +
                       (done.playable ? "Playable" : "Partial") + ", " +
                       std::to_string(done.files) + (done.files == 1 ? " file, " : " files, ") +
                       std::to_string(done.missing.size()) + " missing";
    if (done.metaFile != "meta.yaml") {
        text += ", described in " + ForTerminal(done.metaFile);
    }
    std::cout << text << "\n";
    for (const std::string& address : done.missing) {
        std::cout << "  missing  " << ForTerminal(address) << "\n";
    }
}

// logo.png and ss.png from the movie played offscreen, or why the curation has none.
void AddPictures(const ExportRequest& r, const SwfEntry& entry, ExportFolder& folder,
                 GameExport& game) {
    if (r.noPictures) {
        game.notReady.push_back("no logo.png or ss.png: --no-pictures");
    } else if (auto pictures = TakeMoviePictures(r.s.options, entry.url,
                                                 game.stageWidth > 0 ? game.stageWidth : 550,
                                                 game.stageHeight > 0 ? game.stageHeight : 400)) {
        PutCurationPictures(folder, game, pictures->logo, pictures->screenshot);
    } else {
        game.notReady.push_back("no logo.png or ss.png: " + pictures.error());
    }
}

// The game's folder packed as DIR/<name>.zip; the status.
int PackZip(const std::string& to, const GameExport& game, ExportFolder& folder) {
    const std::string zipPath = to + "/" + game.folder + ".zip";
    auto zip = ArchiveFilePosix::Create(zipPath, ArchiveFilePosix::Form::kZip,
                                        static_cast<UnixTime>(std::time(nullptr)));
    Status packed = zip ? PackGame(game.folder, game.written, game.metaFile, folder, **zip)
                        : Status(Failure{zip.error()});
    if (!packed.ok()) {
        return Report(kExitFailed, packed.error());
    }
    std::cout << "  packed  " << ForTerminal(zipPath) << "\n";
    return kExitDone;
}

// One movie exported into the folder as a game whole; the status.
int ExportToFolder(const SwfEntry& entry, const ExportRequest& r, const std::string& name,
                   const ExportIndex& index, ExportServices& services) {
    const auto done = ExportGame(entry, name, index, services, r.choices);
    if (!done) {
        return Report(kExitFailed, done.error());
    }
    PrintExported(r.to, *done);
    GameExport game = *done;
    AddPictures(r, entry, services.folder, game);
    for (const std::string& why : game.notReady) {
        std::cout << "  not ready  " << ForTerminal(why) << "\n";
    }
    return r.zip ? PackZip(r.to, game, services.folder) : kExitDone;
}

// The games written as the web archives asked for; the status.
int WriteArchives(const ExportRequest& r, const std::vector<WebArchiveGame>& webGames,
                  GameFileServices& gameFiles) {
    int status = kExitDone;
    ZlibGzip gzip;
    const auto archive = [&](const std::string& path, WebArchiveForm form) {
        if (path.empty() || webGames.empty()) {
            return;
        }
        if (WriteArchive(path, form, webGames, gameFiles, gzip) != kExitDone) {
            status = kExitFailed;
        }
    };
    archive(r.warc, WebArchiveForm::kWarc);
    archive(r.wacz, WebArchiveForm::kWacz);
    return status;
}

int Run(const std::vector<std::string>& arguments) {
    ExportRequest r = ReadRequest(arguments);
    Selection& s = r.s;
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
    std::unique_ptr<ExportFolderPosix> folder;
    if (!r.to.empty()) {
        auto opened = ExportFolderPosix::Open(r.to);
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
            if (!r.warc.empty() || !r.wacz.empty()) {
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
            if (ExportToFolder(entry, r, name, index, services) != kExitDone) {
                status = kExitFailed;
            }
        }
    }
    return WriteArchives(r, webGames, gameFiles) == kExitDone ? status : kExitFailed;
}

}  // namespace

extern const Command kExportCommand{
    .name = "export",
    .summary =
        "  export [--site S] NAME... --to DIR         each movie as a game whole: the files it\n"
        "                                             loads under their addresses, meta.yaml;\n"
        "                                             or --warc FILE / --wacz FILE\n",
    .usage =
        "Usage: pellimor-cli export [--site S] NAME... [--url ADDRESS]... --to DIR [OPTIONS]\n"
        "       pellimor-cli export [--site S] NAME... --warc FILE | --wacz FILE [OPTIONS]\n"
        "\n"
        "Exports each movie as a game whole, in DIR/<name>, as the web-game archive takes a\n"
        "curation: the movie and every cached file it may load (found in it, and in the movies\n"
        "it loads) under content/<host>/<path>; the page that embedded it, when the movie takes\n"
        "that page's flashvars (the Launch Command is then the page); logo.png and ss.png, taken\n"
        "from the movie played offscreen; and meta.yaml with the archive's fields (Release Date,\n"
        "Languages from the page's lang or Content-Language, Status, an http Launch Command,\n"
        "Curation Notes saying where each value came from), then the movie's facts, the page's\n"
        "parameters, the files and Export Notes. What the archive needs and the cache cannot\n"
        "tell is printed as \"not ready\" with the reason. The cache is only read. Nothing in DIR\n"
        "is overwritten: an identical file there is kept, a different one makes the new file\n"
        "take a numbered name (level101.swf), noted in meta.yaml. An address's query stays in\n"
        "the name (name.php%3Fid=7) only when the cache holds the same address with another\n"
        "query; bytes no file name may hold are written as %XX.\n"
        "With --warc or --wacz the same files go into a web archive as the browser got them:\n"
        "WARC 1.1 records (each a gzip member), or a WACZ 1.1.1 package with its index.\n"
        "\n"
        "  NAME             every movie listed under this name\n"
        "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
        "  --site S         only the sites whose name contains S\n"
        "  --language L     ISO 639-1 codes (en; tr) when the cache does not say the language\n"
        "  --tags T         the archive's tags, separated by ;\n"
        "  --library L      arcade (games, the default) or theatre (animations)\n"
        "  --application-path P  the archive's player (default FPSoftware\\Flash\\\n"
        "                   flashplayer_32_sa.exe)\n"
        "  --no-pictures    take no logo.png and ss.png (the curation is then not ready)\n"
        "  --zip            pack each game's folder as DIR/<name>.zip too\n"
        "  --warc FILE      write the games' files as a WARC file (.warc.gz); never replaced\n"
        "  --wacz FILE      write them as a WACZ package; never replaced\n"
        "  --to DIR         the folder to export into; made when missing\n",
    .options = kOptions,
    .run = Run,
};

}  // namespace pellimor
