#include "files/GameFiles.h"

#include <deque>
#include <utility>

#include "catalogue/BodyReading.h"
#include "files/AddressPaths.h"
#include "files/FlashvarsAddresses.h"
#include "files/MoviePage.h"
#include "sites/Addresses.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

namespace {

bool IsMovie(std::string_view bytes) {
    const std::string_view start = bytes.substr(0, 3);
    return start == "FWS" || start == "CWS" || start == "ZWS";
}

// One cached file, whichever address named it.
std::string FileKey(const CachedFile& file) {
    return file.localPath + '\n' + file.id.source + '\n' + file.id.file + '\n' +
           std::to_string(file.id.locator);
}

// The walk: addresses met breadth first, each looked up in the cache and, where it is a
// movie, read for the addresses it names in turn.
class Crawl {
  public:
    Crawl(const SwfEntry& movie, const ExportIndex& index, GameFileServices& s)
        : movie_(movie), index_(index), s_(s) {}

    GamePlan Run() {
        if (auto page = index_.PageOf(movie_.url, movie_.site)) {
            plan_.pageFile = index_.Find(page->pageUrl);
            plan_.page = std::move(page);
        }
        Queue(movie_.url, 0, false);
        while (!queue_.empty()) {
            if (planned_ >= kMostGameFiles) {
                plan_.stopped = true;
                break;
            }
            const Load load = std::move(queue_.front());
            queue_.pop_front();
            Visit(load);
            if (load.depth == 0) {
                QueuePageNamed();
            }
        }
        return std::move(plan_);
    }

  private:
    struct Load {
        std::string address;
        int depth = 0;
        bool fromPage = false;  // named by the page's parameters, which name more than files
    };

    void Queue(std::string address, int depth, bool fromPage) {
        if (IsWebAddress(address) && plan_.met.insert(CanonicalAddress(address)).second) {
            queue_.push_back(Load{std::move(address), depth, fromPage});
        }
    }

    // The files the page's parameters name, where the cache holds them: loads of the movie.
    void QueuePageNamed() {
        const auto parameters = plan_.page ? PlayParameters(*plan_.page) : std::nullopt;
        if (!parameters) {
            return;
        }
        for (std::string& address : FlashvarsAddresses(*parameters)) {
            Queue(std::move(address), 1, true);
        }
    }

    void Visit(const Load& load) {
        PlannedFile f;
        f.address = load.address;
        std::optional<CachedFile> file =
            load.depth == 0 ? std::optional(CachedFile{
                                  movie_.localPath, {}, movie_.id, movie_.lastModifiedTime})
                            : index_.Find(load.address);
        if (!file) {
            if (!load.fromPage) {
                f.state = PlannedState::kNotCached;
                plan_.files.push_back(std::move(f));
            }
            return;
        }
        // A parameter naming a file planned already (the level the movie names itself, with
        // a query the cache does not tell apart) adds nothing.
        if (!files_.insert(FileKey(*file)).second && load.fromPage) {
            return;
        }
        f.source = std::move(*file);
        f.limit = load.depth == 0 ? kLargestMovieBody : kLargestLoadedFile;
        Plan(load, std::move(f));
    }

    void Plan(const Load& load, PlannedFile f) {
        Result<BodyStart> start = ReadBodyStart(&s_.cache, s_.files, f.source, kFactsReadLimit);
        if (!start) {
            f.state = PlannedState::kUnreadable;
            f.note = "Cached but unreadable: " + load.address + " (" + start.error() + ")";
            plan_.files.push_back(std::move(f));
            return;
        }
        auto path = AddressPath(load.address, index_.QueryMatters(load.address));
        if (!path) {
            f.state = PlannedState::kNoPath;
            f.note = "Not exported: " + load.address + " (" + path.error() + ")";
            plan_.files.push_back(std::move(f));
            return;
        }
        f.path = std::move(*path);
        ++planned_;
        if (IsMovie(start->bytes)) {
            SwfFacts facts =
                ReadSwfFacts(start->bytes, s_.decompressor, kSwfDecodeLimit, !start->whole);
            if (facts.truncated) {
                f.bytesShort = facts.MissingBytes();
            }
            if (load.depth < kDeepestLoad) {
                for (const std::string& found : facts.addresses) {
                    Queue(ResolveAddress(load.address, found), load.depth + 1, false);
                }
            }
            if (load.depth == 0) {
                plan_.movieFacts = std::move(facts);
            }
        }
        plan_.files.push_back(std::move(f));
    }

    const SwfEntry& movie_;
    const ExportIndex& index_;
    GameFileServices& s_;
    GamePlan plan_;
    std::deque<Load> queue_;
    std::unordered_set<std::string> files_;  // the cached files met, by FileKey
    std::size_t planned_ = 0;
};

}  // namespace

GamePlan PlanGame(const SwfEntry& movie, const ExportIndex& index, GameFileServices& s) {
    return Crawl(movie, index, s).Run();
}

Result<CacheBody> ReadGameFile(const CachedFile& file, GameFileServices& s, std::uint64_t limit) {
    if (!file.localPath.empty()) {
        auto bytes = s.files.ReadFile(file.localPath, limit);
        if (!bytes) {
            return Fail(bytes.error().empty() ? file.localPath + ": cannot be read"
                                              : bytes.error());
        }
        return CacheBody{std::move(*bytes), false};
    }
    return s.cache.ReadBody(file.id, limit);
}

GameFileList FindGameFiles(const SwfEntry& movie, const ExportIndex& index, GameFileServices& s) {
    GamePlan plan = PlanGame(movie, index, s);
    GameFileList out;
    for (PlannedFile& f : plan.files) {
        if (f.state == PlannedState::kPlanned || f.state == PlannedState::kNoPath) {
            out.files.push_back(GameFile{std::move(f.address), std::move(f.source)});
        } else {
            out.missing.push_back(std::move(f.address));
        }
    }
    if (plan.page && plan.pageFile &&
        plan.met.insert(CanonicalAddress(plan.page->pageUrl)).second) {
        out.files.push_back(GameFile{plan.page->pageUrl, *plan.pageFile});
        out.page = plan.page->pageUrl;
    }
    return out;
}

}  // namespace pellimor
