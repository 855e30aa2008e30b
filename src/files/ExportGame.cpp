#include "files/ExportGame.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "catalogue/BodyReading.h"
#include "catalogue/SwfFacts.h"
#include "files/AddressPaths.h"
#include "files/EmbeddingPage.h"
#include "files/MetaYaml.h"
#include "files/ReleaseDate.h"
#include "files/SaveFiles.h"
#include "sites/Addresses.h"

namespace pellimor {

namespace {

// A body as the export reads it: its start in memory (all of it for most files), the rest
// read again in pieces when it is written.
struct Body {
    BodyStart start;
    ByteProducer all;
    bool streamedTruncated = false;  // set while a long body is written
    bool truncated() const { return start.truncated || streamedTruncated; }
};

Result<std::unique_ptr<Body>> ReadCached(const CachedFile& file, ExportServices& s,
                                         std::uint64_t limit) {
    Result<BodyStart> start = ReadBodyStart(&s.cache, s.files, file, kFactsReadLimit);
    if (!start) {
        return Failure{start.error()};
    }
    auto body = std::make_unique<Body>();
    body->start = std::move(*start);
    Body* held = body.get();
    if (held->start.whole) {
        body->all = [held](const ByteSink& sink) -> Status {
            (void)sink(held->start.bytes);
            return Done{};
        };
    } else {
        body->all = [held, file, &s, limit](const ByteSink& sink) -> Status {
            Result<StreamedBody> read = StreamBodyOf(&s.cache, s.files, file, limit, sink);
            if (!read) {
                return Failure{read.error()};
            }
            held->streamedTruncated = read->truncated;
            return Done{};
        };
    }
    return body;
}

// A cached page whole, as the languages and the launch through the page need it; a page
// longer than the facts are read from is left out rather than cut.
std::optional<std::string> PageBytes(const CachedFile& file, ExportServices& s) {
    Result<BodyStart> start = ReadBodyStart(&s.cache, s.files, file, kFactsReadLimit);
    if (!start || !start->whole) {
        return std::nullopt;
    }
    return std::move(start->bytes);
}

std::string Hex6(std::uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFF);
    return text;
}

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string out = text;
    while (out.back() == '0') {
        out.pop_back();
    }
    if (out.back() == '.') {
        out.pop_back();
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> FactLines(const SwfFacts& f) {
    std::vector<std::pair<std::string, std::string>> out;
    out.emplace_back("Signature", f.signature);
    if (f.version) {
        out.emplace_back("Version", std::to_string(*f.version));
    }
    if (f.declaredLength) {
        out.emplace_back("Declared Length", std::to_string(*f.declaredLength));
    }
    out.emplace_back("Present Length", std::to_string(f.presentLength));
    out.emplace_back("Truncated", f.truncated ? "yes" : "no");
    if (f.stageWidthTwips && f.stageHeightTwips) {
        out.emplace_back("Stage", Decimal(*f.stageWidthTwips / 20.0) + " x " +
                                      Decimal(*f.stageHeightTwips / 20.0));
    }
    if (f.frameRate88) {
        out.emplace_back("Frame Rate", Decimal(f.FramesPerSecond()));
    }
    if (f.frameCount) {
        out.emplace_back("Frame Count", std::to_string(*f.frameCount));
    }
    if (f.background) {
        out.emplace_back("Background", Hex6(*f.background));
    }
    const bool as3 = f.fileAttributes && f.fileAttributes->actionScript3;
    out.emplace_back("ActionScript", as3 ? "3" : "1/2");
    if (f.fileAttributes) {
        out.emplace_back("Network Access", f.fileAttributes->useNetwork ? "yes" : "no");
    }
    if (!f.stoppedAt.empty()) {
        out.emplace_back("Stopped At", f.stoppedAt);
    }
    return out;
}

// The languages the page's lang attribute names, else the Content-Language sent with the
// page or the movie.
std::optional<CachedLanguages> LanguagesFrom(const std::string& pageAddress,
                                             const std::optional<std::string>& pageBytes,
                                             const std::string& movieUrl,
                                             const ExportIndex& index) {
    if (pageBytes) {
        if (const auto attribute = HtmlLang(*pageBytes)) {
            if (auto codes = LanguageCodes(*attribute)) {
                return CachedLanguages{
                    std::move(*codes),
                    "Languages: from the lang attribute of the cached page " + pageAddress + "."};
            }
        }
    }
    for (const std::string& address : {pageAddress, movieUrl}) {
        if (address.empty()) {
            continue;
        }
        if (const auto header = index.ContentLanguage(address)) {
            if (auto codes = LanguageCodes(*header)) {
                return CachedLanguages{
                    std::move(*codes),
                    "Languages: from the Content-Language header sent with " + address + "."};
            }
        }
    }
    return std::nullopt;
}

// Writes the file at segments, never over another; a numbered name is a note. The segments
// written to, or why not.
Result<std::vector<std::string>> PutFile(ExportFolder& folder, std::vector<std::string> segments,
                                         const ByteProducer& produce,
                                         std::vector<std::string>& notes) {
    const std::string name = segments.back();
    auto written = WriteNumbered(folder, std::move(segments), produce);
    if (!written) {
        return Failure{written.error()};
    }
    if (written->numbered) {
        const std::vector<std::string> shown(written->segments.begin() + 1,
                                             written->segments.end());
        notes.push_back("A different file was already there: " + name + " is written as " +
                        JoinedPath(shown) + ".");
    }
    return std::move(written->segments);
}

// One game's export as it goes: what is written, and what meta.yaml will say of it.
struct Exporting {
    const SwfEntry& movie;
    const std::string& folderName;
    const ExportIndex& index;
    ExportServices& s;
    GameExport out;
    GameMeta meta;
    std::vector<std::string> truncated;  // addresses, with why
    std::vector<std::string> curation;   // Curation Notes, a line each
    std::optional<std::string> pageBytes;

    // Writes a file of the plan under content/ at path; the segments below the game's folder.
    Result<std::vector<std::string>> Put(const std::vector<std::string>& path,
                                         const ByteProducer& produce) {
        std::vector<std::string> segments{folderName, "content"};
        segments.insert(segments.end(), path.begin(), path.end());
        return PutFile(s.folder, std::move(segments), produce, out.notes);
    }
    // A file written (or found there, identical) for address at put.
    void Placed(const std::string& address, const std::vector<std::string>& put) {
        ++out.files;
        const std::vector<std::string> shown(put.begin() + 1, put.end());
        meta.files.push_back(MetaFile{address, JoinedPath(shown)});
        out.written.push_back(JoinedPath(shown));
    }
};

// Carries out the plan's files. Fails only when the movie itself cannot be written.
Status WriteContent(Exporting& e, const GamePlan& plan) {
    for (const PlannedFile& f : plan.files) {
        if (f.state != PlannedState::kPlanned) {
            if (f.state != PlannedState::kNoPath) {
                e.out.missing.push_back(f.address);
            }
            if (!f.note.empty()) {
                e.out.notes.push_back(f.note);
            }
            continue;
        }
        Result<std::unique_ptr<Body>> body = ReadCached(f.source, e.s, f.limit);
        if (!body) {
            e.out.missing.push_back(f.address);
            e.out.notes.push_back("Cached but unreadable: " + f.address + " (" + body.error() +
                                  ")");
            continue;
        }
        const Body& read = **body;
        auto put = e.Put(f.path, read.all);
        if (!put) {
            if (&f == &plan.files.front()) {
                return Failure{put.error()};
            }
            e.out.notes.push_back("Not written: " + f.address + " (" + put.error() + ")");
            e.out.missing.push_back(f.address);
            continue;
        }
        e.Placed(f.address, *put);
        if (read.truncated()) {
            e.truncated.push_back(f.address + " (the cache holds fewer bytes than were sent)");
        } else if (f.bytesShort) {
            e.truncated.push_back(f.address + " (" + std::to_string(*f.bytesShort) +
                                  " bytes short of its declared length)");
        }
    }
    if (plan.stopped) {
        e.out.notes.push_back("Stopped after " + std::to_string(kMostGameFiles) +
                              " files; the rest of what the movies load was not looked for.");
    }
    return Done{};
}

// What is missing and cut short, and so whether the game plays; the movie's facts.
void TellState(Exporting& e, const GamePlan& plan) {
    for (const std::string& address : e.out.missing) {
        e.out.notes.push_back("Missing: " + address);
    }
    for (const std::string& t : e.truncated) {
        e.out.notes.push_back("Truncated: " + t);
    }
    e.out.playable = e.out.missing.empty() && e.truncated.empty();
    e.meta.status = e.out.playable ? "Playable" : "Partial";
    e.meta.releaseDate =
        ReleaseDate(e.movie, e.index, plan.movieFacts ? &*plan.movieFacts : nullptr);
    if (const auto& facts = plan.movieFacts) {
        e.meta.facts = FactLines(*facts);
        if (facts->stageWidthTwips && facts->stageHeightTwips) {
            e.out.stageWidth = static_cast<int>(*facts->stageWidthTwips / 20);
            e.out.stageHeight = static_cast<int>(*facts->stageHeightTwips / 20);
        }
    }
}

// The page that embedded the movie, in meta.yaml; in content too when the movie takes its
// flashvars, for the archive's launcher gives a movie no parameters of its own.
void WritePage(Exporting& e, const GamePlan& plan) {
    if (!plan.page) {
        return;
    }
    const PageEmbedding& page = *plan.page;
    const Embedding& em = page.embedding;
    e.meta.page =
        MetaPage{page.pageUrl, em.embeddedWith, em.flashvars, em.base, em.width, em.height};
    e.out.pageAddress = page.pageUrl;
    e.meta.source = page.pageUrl;
    if (plan.pageFile) {
        e.pageBytes = PageBytes(*plan.pageFile, e.s);
    }
    if (em.flashvars.empty() || !e.pageBytes) {
        return;
    }
    auto path = AddressPath(page.pageUrl, e.index.QueryMatters(page.pageUrl));
    std::optional<std::vector<std::string>> put;
    if (path) {
        if (auto written = e.Put(*path, BytesProducer(*e.pageBytes))) {
            put = std::move(*written);
        }
    }
    if (!put) {
        e.out.notes.push_back("Not written: " + page.pageUrl);
        return;
    }
    e.Placed(page.pageUrl, *put);
    e.meta.launchCommand = page.pageUrl;
    e.curation.push_back(
        "Launch Command: the page that embedded the movie, which gives it its "
        "flashvars; the page is in content.");
}

// Languages: what the cache says first, then what the user gave.
void ChooseLanguages(Exporting& e, const CurationChoices& choices) {
    std::optional<std::string> lang;
    if (auto cached = LanguagesFrom(e.out.pageAddress, e.pageBytes, e.movie.url, e.index)) {
        lang = std::move(cached->codes);
        e.curation.push_back(std::move(cached->from));
    }
    if (!lang && !choices.language.empty()) {
        if ((lang = LanguageCodes(choices.language))) {
            e.curation.push_back("Languages: given " + choices.languageGiven +
                                 "; the cache does not say.");
        }
    }
    if (lang) {
        e.meta.languages = *lang;
    } else {
        e.out.notReady.push_back(
            "no Languages: neither the cached page nor the server says which language the game "
            "speaks; give it " +
            choices.languageGiven + " (ISO 639-1, such as en)");
    }
}

// The curation's own fields and its notes on where each came from.
void Curate(Exporting& e, const CurationChoices& choices) {
    if (e.meta.launchCommand == e.movie.url) {
        e.curation.push_back("Launch Command: the movie's own address.");
    }
    if (const std::string http = HttpAddress(e.meta.launchCommand); http != e.meta.launchCommand) {
        e.meta.launchCommand = http;
        e.curation.push_back("Launch Command: https made http, as the archive serves its content.");
    }
    ChooseLanguages(e, choices);
    e.meta.tags = TagList(choices.tags);
    if (e.meta.tags.empty()) {
        e.out.notReady.push_back("no Tags: give at least one " + choices.tagsGiven +
                                 " (such as \"Puzzle\")");
    } else {
        e.curation.push_back("Tags: given " + choices.tagsGiven + ".");
    }
    e.curation.push_back(e.meta.applicationPath == kFlashApplicationPath
                             ? "Application Path: the archive's Flash player (the default)."
                             : "Application Path: given with --application-path.");
    e.curation.push_back(e.meta.releaseDate
                             ? "Release Date: from the cache (the server's Last-Modified, or the "
                               "entry's last change) or else the movie's own metadata."
                             : "Release Date: unknown; neither the cache nor the movie says.");
    if (!e.out.missing.empty()) {
        e.curation.push_back(
            std::to_string(e.out.missing.size()) +
            " files the movies load are not in the cache (Export Notes name them).");
    }
    for (const std::string& line : e.curation) {
        e.meta.curationNotes += (e.meta.curationNotes.empty() ? "" : "\n") + line;
    }
}

// meta.yaml, written last: its notes say what became of everything else.
Status WriteMeta(Exporting& e) {
    // The notes of the meta file's own name are known only once it is written.
    std::vector<std::string> metaNotes;
    e.meta.notes = e.out.notes;
    const std::string metaText = MetaYamlText(e.meta);
    auto written =
        PutFile(e.s.folder, {e.folderName, "meta.yaml"}, BytesProducer(metaText), metaNotes);
    if (!written) {
        return Failure{"meta.yaml: " + written.error()};
    }
    e.out.metaFile = written->back();
    e.out.written.push_back(e.out.metaFile);
    e.out.notes.insert(e.out.notes.end(), metaNotes.begin(), metaNotes.end());
    return Done{};
}

}  // namespace

std::optional<CachedLanguages> LanguagesInCache(const SwfEntry& movie, const ExportIndex& index,
                                                ExportServices& s) {
    std::string pageAddress;
    std::optional<std::string> pageBytes;
    if (const auto page = index.PageOf(movie.url, movie.site)) {
        pageAddress = page->pageUrl;
        if (const auto file = index.Find(page->pageUrl)) {
            pageBytes = PageBytes(*file, s);
        }
    }
    return LanguagesFrom(pageAddress, pageBytes, movie.url, index);
}

std::string GameFolderName(const std::string& displayName, std::set<std::string>& used) {
    // The display name is no address: '%' in it is a character, not an escape.
    std::string base;
    for (const char c : displayName) {
        if (c == '%') {
            base += "%25";
        } else {
            base += c;
        }
    }
    base = FileNameSegment(base);
    if (base.empty()) {
        base = "movie";
    }
    std::string name = base;
    for (unsigned counter = 1; used.contains(name); ++counter) {
        name = NumberedFileName(base, counter);
    }
    used.insert(name);
    return name;
}

Result<GameExport> ExportGame(const SwfEntry& movie, const std::string& folderName,
                              const ExportIndex& index, ExportServices& s,
                              const CurationChoices& choices) {
    if (movie.IsLeftover() || !IsWebAddress(movie.url)) {
        return Fail(movie.displayName +
                    ": a file without an address of the web cannot be "
                    "placed under one");
    }
    GameFileServices read{s.cache, s.files, s.decompressor};
    const GamePlan plan = PlanGame(movie, index, read);
    Exporting e{movie, folderName, index, s, {}, {}, {}, {}, {}};
    e.out.folder = folderName;
    e.meta.title = movie.displayName;
    e.meta.source = movie.site;
    e.meta.launchCommand = movie.url;
    e.meta.library = choices.library;
    e.meta.applicationPath = choices.applicationPath;
    if (const Status written = WriteContent(e, plan); !written.ok()) {
        return Fail(movie.displayName + ": " + written.error());
    }
    TellState(e, plan);
    WritePage(e, plan);
    Curate(e, choices);
    if (s.saves != nullptr) {
        (void)ExportMovieSaves(movie, folderName, *s.saves, s.folder, e.out.notes);
    }
    if (s.played != nullptr) {
        (void)ExportPlayedSaves(movie, folderName, *s.played, s.folder, e.out.notes);
    }
    if (const Status written = WriteMeta(e); !written.ok()) {
        return Fail(movie.displayName + ": " + written.error());
    }
    return std::move(e.out);
}

void PutCurationPictures(ExportFolder& folder, GameExport& done, std::string_view logo,
                         std::string_view screenshot) {
    for (const auto& [file, bytes] :
         {std::pair<std::string, std::string_view>{"logo.png", logo}, {"ss.png", screenshot}}) {
        const Status written = folder.WriteNew({done.folder, file}, bytes);
        if (written || written.kind() == FailureKind::kTargetExists) {
            done.written.push_back(file);
        } else {
            done.notReady.push_back("no " + file + ": " + written.error());
        }
    }
}

}  // namespace pellimor
