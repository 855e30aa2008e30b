#include "files/ExportGame.h"

#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>

#include "catalogue/BodyReading.h"
#include "catalogue/SwfFacts.h"
#include "files/AddressPaths.h"
#include "files/EmbeddingPage.h"
#include "files/MetaYaml.h"
#include "files/SaveFiles.h"
#include "sites/Addresses.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

namespace {

// A file a movie loads is written up to this size; the movie itself up to the most a movie
// can state as its length.
constexpr std::uint64_t kLargestFile = 512ULL << 20;
constexpr unsigned kMostNumbers = 999;

using Producer = std::function<Status(const ByteSink&)>;

// A body as the export reads it: its start in memory (all of it for most files), the rest
// read again in pieces when it is written.
struct Body {
    BodyStart start;
    Producer all;
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

Producer Bytes(std::string_view bytes) {
    return [bytes](const ByteSink& sink) -> Status {
        (void)sink(bytes);
        return Done{};
    };
}

bool IsMovie(std::string_view bytes) {
    const std::string_view start = bytes.substr(0, 3);
    return start == "FWS" || start == "CWS" || start == "ZWS";
}

// Writes what produce hands on at segments unless an identical file is there; a different
// one makes it take the next numbered name. The segments written to, or why not.
Result<std::vector<std::string>> PutFile(ExportFolder& folder, std::vector<std::string> segments,
                                         const Producer& produce, std::vector<std::string>& notes,
                                         std::size_t shownFrom) {
    const std::string name = segments.back();
    for (unsigned counter = 0; counter <= kMostNumbers; ++counter) {
        if (counter > 0) {
            segments.back() = NumberedFileName(name, counter);
        }
        const Status result = folder.WriteNewFrom(segments, produce);
        if (!result && result.kind() != FailureKind::kTargetExists) {
            return Fail(result.error().empty() ? "cannot be written" : result.error());
        }
        if (!result) {
            if (folder.SameAs(segments, produce)) {
                return segments;  // the same file, from an earlier export: kept
            }
            continue;
        }
        if (counter > 0) {
            const std::vector<std::string> shown(segments.begin() + shownFrom, segments.end());
            notes.push_back("A different file was already there: " + name + " is written as " +
                            JoinedPath(shown) + ".");
        }
        return segments;
    }
    return Fail(name + ": every numbered name is taken");
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

// The day an XMP packet says the movie was made (xmp:CreateDate, as an attribute or an
// element): its first YYYY-MM-DD.
std::optional<std::string> CreateDay(std::string_view metadata) {
    const auto at = metadata.find("CreateDate");
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view after = metadata.substr(at, 64);
    for (std::size_t i = 0; i + 10 <= after.size(); ++i) {
        const std::string_view day = after.substr(i, 10);
        bool shaped = true;
        for (std::size_t k = 0; k < 10 && shaped; ++k) {
            shaped = k == 4 || k == 7 ? day[k] == '-' : day[k] >= '0' && day[k] <= '9';
        }
        if (shaped) {
            return std::string(day);
        }
    }
    return std::nullopt;
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

std::string NumberedFileName(const std::string& name, unsigned counter) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02u", counter);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return name + digits;
    }
    return name.substr(0, dot) + digits + name.substr(dot);
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
    GameExport out;
    out.folder = folderName;
    if (movie.IsLeftover() || !IsWebAddress(movie.url)) {
        return Fail(movie.displayName +
                    ": a file without an address of the web cannot be "
                    "placed under one");
    }
    GameMeta meta;
    meta.title = movie.displayName;
    meta.source = movie.site;
    meta.launchCommand = movie.url;
    meta.library = choices.library;
    meta.applicationPath = choices.applicationPath;

    struct Load {
        std::string address;
        int depth = 0;
    };
    std::deque<Load> queue{{movie.url, 0}};
    std::unordered_set<std::string> seen{CanonicalAddress(movie.url)};
    std::optional<SwfFacts> mainFacts;
    std::vector<std::string> truncated;
    bool firstWritten = false;
    while (!queue.empty()) {
        const Load load = std::move(queue.front());
        queue.pop_front();
        if (out.files >= kMostGameFiles) {
            out.notes.push_back("Stopped after " + std::to_string(kMostGameFiles) +
                                " files; the rest of what the movies load was not looked for.");
            break;
        }
        Result<std::unique_ptr<Body>> body = Fail("");
        if (load.depth == 0) {
            CachedFile own{movie.localPath, {}, movie.id, std::nullopt};
            body = ReadCached(own, s, kLargestMovieBody);
        } else if (const auto file = index.Find(load.address)) {
            body = ReadCached(*file, s, kLargestFile);
        } else {
            out.missing.push_back(load.address);
            continue;
        }
        if (!body) {
            out.missing.push_back(load.address);
            out.notes.push_back("Cached but unreadable: " + load.address + " (" + body.error() +
                                ")");
            continue;
        }
        auto path = AddressPath(load.address, index.QueryMatters(load.address));
        if (!path) {
            out.notes.push_back("Not exported: " + load.address + " (" + path.error() + ")");
            continue;
        }
        std::vector<std::string> segments{folderName, "content"};
        segments.insert(segments.end(), path->begin(), path->end());
        const Body& read = **body;
        auto put = PutFile(s.folder, std::move(segments), read.all, out.notes, 1);
        if (!put) {
            if (load.depth == 0 && !firstWritten) {
                return Fail(movie.displayName + ": " + put.error());
            }
            out.notes.push_back("Not written: " + load.address + " (" + put.error() + ")");
            out.missing.push_back(load.address);
            continue;
        }
        firstWritten = true;
        ++out.files;
        const std::vector<std::string> shown(put->begin() + 1, put->end());
        meta.files.push_back(MetaFile{load.address, JoinedPath(shown)});
        out.written.push_back(JoinedPath(shown));
        if (read.truncated()) {
            truncated.push_back(load.address + " (the cache holds fewer bytes than were sent)");
        }
        if (!IsMovie(read.start.bytes)) {
            continue;
        }
        SwfFacts facts =
            ReadSwfFacts(read.start.bytes, s.decompressor, kSwfDecodeLimit, !read.start.whole);
        if (facts.truncated && !read.truncated()) {
            truncated.push_back(load.address + " (" + std::to_string(facts.MissingBytes()) +
                                " bytes short of its declared length)");
        }
        if (load.depth < kDeepestLoad) {
            for (const std::string& found : facts.addresses) {
                std::string address = ResolveAddress(load.address, found);
                if (IsWebAddress(address) && seen.insert(CanonicalAddress(address)).second) {
                    queue.push_back(Load{std::move(address), load.depth + 1});
                }
            }
        }
        if (load.depth == 0) {
            mainFacts = std::move(facts);
        }
    }
    for (const std::string& address : out.missing) {
        out.notes.push_back("Missing: " + address);
    }
    for (const std::string& t : truncated) {
        out.notes.push_back("Truncated: " + t);
    }
    out.playable = out.missing.empty() && truncated.empty();
    meta.status = out.playable ? "Playable" : "Partial";
    if (auto day = index.LastModifiedDay(movie.url)) {
        meta.releaseDate = std::move(day);
    } else if (movie.lastModifiedTime) {
        meta.releaseDate = DayOf(*movie.lastModifiedTime);
    } else if (auto made = mainFacts && mainFacts->metadata ? CreateDay(*mainFacts->metadata)
                                                            : std::nullopt) {
        meta.releaseDate = std::move(made);
    } else if (mainFacts && mainFacts->productInfo && mainFacts->productInfo->compiledAtMs > 0) {
        meta.releaseDate =
            DayOf(static_cast<UnixTime>(mainFacts->productInfo->compiledAtMs / 1000));
    }
    if (mainFacts) {
        meta.facts = FactLines(*mainFacts);
        if (mainFacts->stageWidthTwips && mainFacts->stageHeightTwips) {
            out.stageWidth = static_cast<int>(*mainFacts->stageWidthTwips / 20);
            out.stageHeight = static_cast<int>(*mainFacts->stageHeightTwips / 20);
        }
    }
    std::vector<std::string> curation;
    std::optional<std::string> pageBytes;
    if (const auto page = index.PageOf(movie.url, movie.site)) {
        const Embedding& e = page->embedding;
        meta.page = MetaPage{page->pageUrl, e.embeddedWith, e.flashvars, e.base, e.width, e.height};
        out.pageAddress = page->pageUrl;
        meta.source = page->pageUrl;
        if (const auto file = index.Find(page->pageUrl)) {
            pageBytes = PageBytes(*file, s);
        }
        // The archive's launcher gives a movie no parameters of its own: a movie that takes
        // flashvars is launched through its page, which goes into content with it.
        if (!e.flashvars.empty() && pageBytes) {
            auto path = AddressPath(page->pageUrl, index.QueryMatters(page->pageUrl));
            std::optional<std::vector<std::string>> put;
            if (path) {
                std::vector<std::string> segments{folderName, "content"};
                segments.insert(segments.end(), path->begin(), path->end());
                if (auto written =
                        PutFile(s.folder, std::move(segments), Bytes(*pageBytes), out.notes, 1)) {
                    put = std::move(*written);
                }
            }
            if (put) {
                ++out.files;
                const std::vector<std::string> shown(put->begin() + 1, put->end());
                meta.files.push_back(MetaFile{page->pageUrl, JoinedPath(shown)});
                out.written.push_back(JoinedPath(shown));
                meta.launchCommand = page->pageUrl;
                curation.push_back(
                    "Launch Command: the page that embedded the movie, which gives it its "
                    "flashvars; the page is in content.");
            } else {
                out.notes.push_back("Not written: " + page->pageUrl);
            }
        }
    }
    if (meta.launchCommand == movie.url) {
        curation.push_back("Launch Command: the movie's own address.");
    }
    if (const std::string http = HttpAddress(meta.launchCommand); http != meta.launchCommand) {
        meta.launchCommand = http;
        curation.push_back("Launch Command: https made http, as the archive serves its content.");
    }
    // Languages: what the cache says first, then what the user gave.
    std::optional<std::string> lang;
    if (auto cached = LanguagesFrom(out.pageAddress, pageBytes, movie.url, index)) {
        lang = std::move(cached->codes);
        curation.push_back(std::move(cached->from));
    }
    if (!lang && !choices.language.empty()) {
        if ((lang = LanguageCodes(choices.language))) {
            curation.push_back("Languages: given " + choices.languageGiven +
                               "; the cache does not say.");
        }
    }
    if (lang) {
        meta.languages = *lang;
    } else {
        out.notReady.push_back(
            "no Languages: neither the cached page nor the server says which language the game "
            "speaks; give it " +
            choices.languageGiven + " (ISO 639-1, such as en)");
    }
    meta.tags = TagList(choices.tags);
    if (meta.tags.empty()) {
        out.notReady.push_back("no Tags: give at least one " + choices.tagsGiven +
                               " (such as \"Puzzle\")");
    } else {
        curation.push_back("Tags: given " + choices.tagsGiven + ".");
    }
    curation.push_back(meta.applicationPath == kFlashApplicationPath
                           ? "Application Path: the archive's Flash player (the default)."
                           : "Application Path: given with --application-path.");
    if (meta.releaseDate) {
        curation.push_back(
            "Release Date: from the cache (the server's Last-Modified, or the "
            "entry's last change) or else the movie's own metadata.");
    } else {
        curation.push_back("Release Date: unknown; neither the cache nor the movie says.");
    }
    if (!out.missing.empty()) {
        curation.push_back(std::to_string(out.missing.size()) +
                           " files the movies load are not in the cache (Export Notes name them).");
    }
    for (const std::string& line : curation) {
        meta.curationNotes += (meta.curationNotes.empty() ? "" : "\n") + line;
    }
    if (s.saves != nullptr) {
        (void)ExportMovieSaves(movie, folderName, *s.saves, s.folder, out.notes);
    }
    // The notes of the meta file's own name are known only once it is written.
    std::vector<std::string> metaNotes;
    meta.notes = out.notes;
    const std::string metaText = MetaYamlText(meta);
    auto written = PutFile(s.folder, {folderName, "meta.yaml"}, Bytes(metaText), metaNotes, 1);
    if (!written) {
        return Fail(movie.displayName + ": meta.yaml: " + written.error());
    }
    out.metaFile = written->back();
    out.written.push_back(out.metaFile);
    out.notes.insert(out.notes.end(), metaNotes.begin(), metaNotes.end());
    return out;
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
