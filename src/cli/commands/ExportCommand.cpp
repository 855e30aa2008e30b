// pellimor-cli export: chosen movies as games whole, each with the files it loads under its
// addresses and a meta.yaml, in a folder of its own or a web archive.
#include <ctime>
#include <iostream>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "cli/CacheOpening.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/Listing.h"
#include "cli/MovieChoice.h"
#include "cli/MoviePictures.h"
#include "cli/TerminalPrompts.h"
#include "cli/TerminalText.h"
#include "files/AddressPaths.h"
#include "files/Curation.h"
#include "files/PackGame.h"
#include "files/warc/WebArchive.h"
#include "operations/ExportGames.h"
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
    ExportRequest r{NamedSelectionOf(words, "name the movies to export"),
                    words.Value("--to"),
                    words.Value("--warc"),
                    words.Value("--wacz"),
                    words.Has("--zip"),
                    words.Has("--no-pictures"),
                    {}};
    Selection& s = r.s;
    const std::string library = words.Value("--library");
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
                 ArchiveFiles& archives, GzipCompressor& gzip) {
    const auto now = static_cast<UnixTime>(std::time(nullptr));
    auto file = archives.Create(
        path, form == WebArchiveForm::kWacz ? ArchiveFiles::Form::kZip : ArchiveFiles::Form::kPlain,
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

// The game's folder packed as DIR/<name>.zip; the status.
int PackZip(const std::string& to, const GameExport& game, ExportFolder& folder,
            ArchiveFiles& archives) {
    const std::string zipPath = to + "/" + game.folder + ".zip";
    auto zip = archives.Create(zipPath, ArchiveFiles::Form::kZip,
                               static_cast<UnixTime>(std::time(nullptr)));
    Status packed = zip ? PackGame(game.folder, game.written, game.metaFile, folder, **zip)
                        : Status(Failure{zip.error()});
    if (!packed.ok()) {
        return Report(kExitFailed, packed.error());
    }
    std::cout << "  packed  " << ForTerminal(zipPath) << "\n";
    return kExitDone;
}

// What the terminal adds to the export: the games' lines, pictures from the movie played
// offscreen, the zips, and the web archives' games; status becomes failed on any failure.
class TerminalExport : public ExportProgress {
  public:
    TerminalExport(const ExportRequest& r, GameFileServices& gameFiles, ArchiveFiles& archives)
        : r_(r), gameFiles_(gameFiles), archives_(archives) {}

    int status = kExitDone;
    std::vector<WebArchiveGame> webGames;

    void CacheReadInPart(const std::string& why) override {
        std::cerr << ErrorLines("the cache could not be read whole: " + why);
    }
    void Starting(const SwfEntry& entry, const ExportIndex& index) override {
        if (r_.warc.empty() && r_.wacz.empty()) {
            return;
        }
        if (entry.IsLeftover() || !IsWebAddress(entry.url)) {
            status = Report(kExitFailed, entry.displayName +
                                             ": a file without an address of the web has no "
                                             "place in a web archive");
        } else {
            webGames.push_back(
                WebArchiveGame{entry.displayName, FindGameFiles(entry, index, gameFiles_)});
        }
    }
    Result<GamePictures> TakePictures(const SwfEntry& entry, int width, int height) override {
        if (r_.noPictures) {
            return Fail("--no-pictures");
        }
        auto pictures = TakeMoviePictures(r_.s.options, entry.url, width, height);
        if (!pictures) {
            return Fail(pictures.error());
        }
        return GamePictures{std::move(pictures->logo), std::move(pictures->screenshot)};
    }
    void Written(const SwfEntry&, const GameExport& game) override { PrintExported(r_.to, game); }
    void Finished(const SwfEntry&, const GameExport& game, ExportFolder& folder) override {
        for (const std::string& why : game.notReady) {
            std::cout << "  not ready  " << ForTerminal(why) << "\n";
        }
        if (r_.zip && PackZip(r_.to, game, folder, archives_) != kExitDone) {
            status = kExitFailed;
        }
    }
    void Failed(const SwfEntry&, const std::string& why) override {
        status = Report(kExitFailed, why);
    }

  private:
    const ExportRequest& r_;
    GameFileServices& gameFiles_;
    ArchiveFiles& archives_;
};

// The games written as the web archives asked for; the status.
int WriteArchives(const ExportRequest& r, const std::vector<WebArchiveGame>& webGames,
                  GameFileServices& gameFiles, ArchiveFiles& archives, GzipCompressor& gzip) {
    int status = kExitDone;
    const auto archive = [&](const std::string& path, WebArchiveForm form) {
        if (path.empty() || webGames.empty()) {
            return;
        }
        if (WriteArchive(path, form, webGames, gameFiles, archives, gzip) != kExitDone) {
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
    auto opened = OpenAndChoose(
        s, {.verb = "exported", .allMatching = true, .nothingDone = "; nothing exported"});
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    auto& [listing, keys] = std::get<ChosenMovies>(opened);
    auto& [session, state] = listing;
    OperationServices operations = session->operations();
    GameFileServices gameFiles{session->cache(), session->files(), operations.decompressor};
    PlatformTools& tools = session->tools();
    TerminalExport progress(r, gameFiles, tools.archiveFiles);
    TerminalPrompts prompts(true);
    const auto done = ExportGames(state.catalogue, {keys, r.to, r.choices, false, {}}, operations,
                                  prompts, progress);
    if (!done) {
        return Report(kExitFailed, done.error());
    }
    return WriteArchives(r, progress.webGames, gameFiles, tools.archiveFiles, tools.gzip) ==
                   kExitDone
               ? progress.status
               : kExitFailed;
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
