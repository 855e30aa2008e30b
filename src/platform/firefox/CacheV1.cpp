#include "platform/firefox/CacheV1.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <unordered_set>

#include "platform/body/CollectedBody.h"
#include "platform/body/ContentDecoding.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/firefox/CacheV1Format.h"
#include "platform/firefox/FirefoxFolders.h"
#include "platform/firefox/ResponseHead.h"
#include "platform/listing/ListedTexts.h"

namespace pellimor {

namespace {

namespace v1 = firefox::v1;

constexpr std::uint64_t kEncodedSlack = 64 * 1024;
// A record kept in a separate file is never larger than Firefox's largest metadata.
constexpr std::uint64_t kMaxSeparateRecord = 16 * 1024 * 1024;
// Maps of this version and later come with Firefox 4's larger block-file bitmaps; a record
// that names its own place settles the layout where the version does not.
constexpr std::uint32_t kFirstLaterBitmapVersion = 0x00010011;

constexpr std::string_view kReadOnly = "Firefox's old block-file cache is read-only: ";

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The block files, each opened once, read by range.
class BlockFiles {
  public:
    explicit BlockFiles(const std::string& root) : root_(root) {
        for (std::uint32_t index = 1; index <= v1::kBlockFileCount; ++index) {
            const std::string name = v1::BlockFileName(index);
            const auto found = firefox::FindIgnoringCase(root, name);
            if (!found) {
                problems_[index - 1] = name + ", which is absent";
                continue;
            }
            auto opened = OpenWithin(root + "/" + *found, root);
            if (!opened) {
                problems_[index - 1] = opened.error();
                continue;
            }
            files_[index - 1] = std::move(opened).value();
            names_[index - 1] = *found;
        }
    }

    bool Has(std::uint32_t index) const { return Valid(index) && files_[index - 1].has_value(); }
    std::uint64_t Size(std::uint32_t index) const {
        return Has(index) ? files_[index - 1]->size : 0;
    }
    const std::string& Problem(std::uint32_t index) const { return problems_[index - 1]; }
    std::string Path(std::uint32_t index) const { return root_ + "/" + names_[index - 1]; }

    // Up to size bytes at offset (fewer at the file's end); nothing when unreadable.
    std::optional<std::string> Read(std::uint32_t index, std::uint64_t offset,
                                    std::size_t size) const {
        if (!Has(index) || offset >= Size(index)) {
            return std::nullopt;
        }
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, Size(index) - offset));
        std::string bytes(size, '\0');
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got = pread(files_[index - 1]->fd.get(), bytes.data() + done, size - done,
                                      static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return std::nullopt;
            }
            done += static_cast<std::size_t>(got);
        }
        return bytes;
    }

    static bool Valid(std::uint32_t index) { return index >= 1 && index <= v1::kBlockFileCount; }

  private:
    std::string root_;
    std::array<std::optional<OpenedFile>, v1::kBlockFileCount> files_;
    std::array<std::string, v1::kBlockFileCount> problems_;
    std::array<std::string, v1::kBlockFileCount> names_;
};

std::optional<UnixTime> TimeOf(std::uint32_t seconds) {
    if (seconds == 0) {
        return std::nullopt;
    }
    return UnixTime{seconds};
}

// Where a body or a record lies: in a block file from offset, or in a file of its own.
struct Place {
    std::uint32_t file = 0;
    std::uint64_t offset = 0;
    std::uint64_t room = 0;  // bytes its blocks hold
    std::string path;        // a separate file
};

Place PlaceOf(const v1::Location& location, bool firefox3, const std::string& root,
              std::uint32_t hash, bool metadata) {
    Place place;
    place.file = location.file;
    if (location.file == v1::kSeparateFile) {
        place.path = root + "/" + v1::SeparateFileName(hash, metadata, location.generation);
        return place;
    }
    const std::uint64_t blockSize = v1::BlockSize(location.file);
    place.offset = v1::BitmapSize(location.file, firefox3) + location.startBlock * blockSize;
    place.room = location.blockCount * blockSize;
    return place;
}

struct Resolved {
    v1::Record record;
    bool firefox3 = false;  // the block-file layout the record was found in
};

// The record a map entry points at; tries both bitmap layouts for block files and prefers
// the one where the record names its own location.
Result<Resolved> ResolveRecord(const BlockFiles& blocks, const std::string& root,
                               const v1::MapRecord& entry, bool firefox3Guess) {
    const v1::Location location = v1::DecodeLocation(entry.metaLocation);
    if (location.file == v1::kSeparateFile) {
        const std::string path =
            root + "/" + v1::SeparateFileName(entry.hash, true, location.generation);
        const std::string bytes = PELLIMOR_TRY(ReadWithin(path, root, kMaxSeparateRecord));
        auto record = v1::ParseRecord(Bytes(bytes));
        if (!record) {
            return Fail(path + ": " + record.error());
        }
        return Resolved{std::move(record.value()), firefox3Guess};
    }
    if (!blocks.Has(location.file)) {
        return Fail("a record is stored in " + blocks.Problem(location.file));
    }
    std::optional<Resolved> fallback;
    std::string lastError;
    for (const bool firefox3 : {firefox3Guess, !firefox3Guess}) {
        const Place place = PlaceOf(location, firefox3, root, entry.hash, true);
        const auto bytes =
            blocks.Read(location.file, place.offset, static_cast<std::size_t>(place.room));
        if (!bytes) {
            lastError = "a record lies past the end of " + blocks.Path(location.file);
            continue;
        }
        auto record = v1::ParseRecord(Bytes(*bytes));
        if (!record) {
            lastError = blocks.Path(location.file) + " at " + std::to_string(place.offset) + ": " +
                        record.error();
            continue;
        }
        if (record->metaLocation == entry.metaLocation) {
            return Resolved{std::move(record.value()), firefox3};
        }
        if (!fallback) {
            fallback = Resolved{std::move(record.value()), firefox3};
        }
    }
    if (fallback) {
        return std::move(*fallback);
    }
    return Fail(lastError);
}

// Which stored record a map record names: its block file and first block, or the separate
// file of its hash and generation.
std::optional<std::uint64_t> RecordPlaceKey(const v1::MapRecord& entry) {
    const v1::Location location = v1::DecodeLocation(entry.metaLocation);
    if (!location.used) {
        return std::nullopt;
    }
    if (location.file == v1::kSeparateFile) {
        return 1ULL << 63 | std::uint64_t{entry.hash} << 8 | location.generation;
    }
    return std::uint64_t{location.file} << 32 | location.startBlock;
}

struct BodyFacts {
    std::string unreadable;
    std::optional<std::string> localFileName;
    Place place;
};

BodyFacts BodyOf(const BlockFiles& blocks, const std::string& root, const v1::MapRecord& entry,
                 const v1::Record& record, bool firefox3) {
    BodyFacts facts;
    const v1::Location location = v1::DecodeLocation(entry.dataLocation);
    if (!location.used) {
        if (record.dataSize != 0) {
            facts.unreadable = "its body was not stored";
        }
        return facts;
    }
    facts.place = PlaceOf(location, firefox3, root, entry.hash, false);
    if (location.file == v1::kSeparateFile) {
        if (!SizeWithin(facts.place.path, root)) {
            facts.unreadable = "its body file " + facts.place.path + " is absent or not a file";
        }
        return facts;
    }
    if (!BlockFiles::Valid(location.file) || !blocks.Has(location.file)) {
        facts.unreadable = "its body is stored in " + (BlockFiles::Valid(location.file)
                                                           ? blocks.Problem(location.file)
                                                           : std::string("no block file"));
        return facts;
    }
    if (record.dataSize > facts.place.room) {
        facts.unreadable = "its body (" + std::to_string(record.dataSize) +
                           " bytes) is larger than the blocks its map gives it";
    } else if (record.dataSize > 0 && facts.place.offset >= blocks.Size(location.file)) {
        facts.unreadable = "its body lies past the end of " + blocks.Path(location.file);
    }
    return facts;
}

CacheEntry EntryOf(const std::string& location, const v1::Record& record) {
    CacheEntry entry;
    entry.sourceName = kFirefoxSource;
    if (const auto url = v1::UrlOfKey(record.key)) {
        entry.url = std::string(*url);
    }
    entry.kind = entry.url && v1::IsHttpKey(record.key) ? EntryKind::kDocument : EntryKind::kOther;
    entry.lastModified = TimeOf(record.lastModified);
    entry.lastAccess = TimeOf(record.lastFetched);
    if (record.expiration != v1::kNoExpiration) {
        entry.expires = TimeOf(record.expiration);
    }
    entry.size = record.dataSize;
    if (const auto head = firefox::ElementValue(record.metadata, v1::kResponseHeadElement)) {
        entry.headers = std::string(*head);
        const firefox::ResponseFacts facts = firefox::FactsOf(*head);
        entry.contentType = facts.contentType;
        entry.contentEncoding = facts.contentEncoding;
    }
    entry.id.source = location;
    return entry;
}

std::optional<std::string> ReadMap(const std::string& root, std::string& problem) {
    const auto name = firefox::FindIgnoringCase(root, v1::kMapFileName);
    if (!name) {
        return std::nullopt;
    }
    auto bytes = ReadWithin(root + "/" + *name, root, v1::kMaxMapSize);
    if (!bytes) {
        problem = bytes.error();
        return std::nullopt;
    }
    return std::move(bytes).value();
}

bool Firefox3Layout(const v1::Map& map) {
    return map.version < kFirstLaterBitmapVersion;
}

// The stored bytes of a body at place, at most limit of them, and whether fewer than size.
Result<std::pair<std::string, bool>> StoredBytes(const BlockFiles& blocks, const std::string& root,
                                                 const Place& place, std::uint32_t size,
                                                 std::uint64_t limit) {
    if (size > limit) {
        return Fail("its body of " + std::to_string(size) + " bytes is more than can be read (" +
                    std::to_string(limit) + ")");
    }
    if (place.file == v1::kSeparateFile) {
        const OpenedFile opened = PELLIMOR_TRY(OpenWithin(place.path, root));
        std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(opened.size, size)),
                          '\0');
        PELLIMOR_TRY(ReadFully(opened.fd.get(), reinterpret_cast<std::uint8_t*>(bytes.data()),
                               bytes.size(), place.path));
        const bool shorter = bytes.size() < size;
        return std::pair{std::move(bytes), shorter};
    }
    auto bytes = blocks.Read(place.file, place.offset, size);
    if (!bytes) {
        if (size == 0) {
            return std::pair{std::string(), false};
        }
        return Fail("its body lies past the end of " + blocks.Path(place.file));
    }
    const bool shorter = bytes->size() < size;
    return std::pair{std::move(*bytes), shorter};
}

// Without the map nothing says where bodies are: the records are found in the block files,
// their bodies stay unreadable.
void EnumerateWithoutMap(const BlockFiles& blocks, const std::string& location,
                         const std::function<bool(const CacheEntry&)>& visit,
                         const std::function<void(const std::string&)>& report) {
    bool more = true;
    for (std::uint32_t index = 1; more && index <= v1::kBlockFileCount; ++index) {
        if (!blocks.Has(index)) {
            continue;
        }
        const auto bytes = blocks.Read(
            index, 0,
            static_cast<std::size_t>(std::min(blocks.Size(index), v1::kMaxBlockFileSize)));
        if (!bytes) {
            report("cannot read " + blocks.Path(index));
            continue;
        }
        v1::ScanBlockFile(Bytes(*bytes), index, [&](const v1::FoundRecord& found) {
            CacheEntry entry = EntryOf(location, found.record);
            entry.id.file = v1::BlockFileName(index);
            entry.id.locator = found.offset;
            entry.unreadable =
                "the cache's map (_CACHE_MAP_) is absent, so where its body "
                "is stored is unknown";
            CapListedTexts(entry);
            more = visit(entry);
            return more;
        });
    }
}

}  // namespace

Result<std::unique_ptr<FirefoxCacheV1>> FirefoxCacheV1::Open(const std::string& folder) {
    const auto location = ResolveFolder(folder);
    if (!location) {
        return Fail(folder + " is not a folder");
    }
    return std::unique_ptr<FirefoxCacheV1>(new FirefoxCacheV1(*location));
}

Status FirefoxCacheV1::Enumerate(const std::function<bool(const CacheEntry&)>& visit) {
    std::string problems;
    const auto report = [&problems](const std::string& text) {
        problems += (problems.empty() ? "" : "\n") + text;
    };
    const BlockFiles blocks(location_);
    std::string mapProblem;
    const auto mapBytes = ReadMap(location_, mapProblem);
    std::optional<v1::Map> map;
    if (mapBytes) {
        auto parsed = v1::ParseMap(Bytes(*mapBytes));
        if (parsed) {
            map = std::move(parsed.value());
        } else {
            report(location_ + "/" + std::string(v1::kMapFileName) + ": " + parsed.error());
        }
    } else if (!mapProblem.empty()) {
        report(mapProblem);
    }
    if (map) {
        bool firefox3 = Firefox3Layout(*map);
        // Map records that name a record another one named already are left out: otherwise
        // one stored key fills the listing once for every record that points at it.
        std::unordered_set<std::uint64_t> named;
        std::size_t shared = 0;
        std::string firstShared;
        for (const v1::MapRecord& item : map->records) {
            const auto place = RecordPlaceKey(item);
            if (place && !named.insert(*place).second) {
                if (shared++ == 0) {
                    firstShared = "entry " + std::to_string(item.index) + " of " +
                                  std::string(v1::kMapFileName) +
                                  " names a record an entry before it names";
                }
                continue;
            }
            auto resolved = ResolveRecord(blocks, location_, item, firefox3);
            if (!resolved) {
                report(resolved.error());
                continue;
            }
            firefox3 = resolved->firefox3;
            CacheEntry entry = EntryOf(location_, resolved->record);
            entry.id.file = std::string(v1::kMapFileName);
            entry.id.locator = item.index;
            const BodyFacts body = BodyOf(blocks, location_, item, resolved->record, firefox3);
            entry.unreadable = body.unreadable;
            if (body.unreadable.empty() && resolved->record.dataSize > 0) {
                const std::uint32_t prefix =
                    std::min<std::uint32_t>(resolved->record.dataSize, firefox::kStoredPrefixSize);
                const auto start = StoredBytes(blocks, location_, body.place, prefix, prefix);
                if (start) {
                    entry.bodyStart = firefox::BodyStartOf(entry.contentEncoding, start->first);
                }
                if (body.place.file == v1::kSeparateFile && entry.contentEncoding.empty()) {
                    entry.localFileName = body.place.path;
                }
            }
            CapListedTexts(entry);
            if (!visit(entry)) {
                break;
            }
        }
        if (shared > 0) {
            report(
                location_ + ": " + firstShared +
                (shared > 1 ? " (and " + std::to_string(shared - 1) + " more such entries)" : "") +
                "; listed once");
        }
    } else {
        EnumerateWithoutMap(blocks, location_, visit, report);
    }
    if (!problems.empty()) {
        return Fail(problems);
    }
    return Done{};
}

Result<CacheBody> FirefoxCacheV1::ReadBody(const EntryId& id, std::uint64_t limit) {
    return CollectedBody(*this, id, limit);
}

// The stored body is read whole (bounded as the map records it), then decoded in pieces.
Result<StreamedBody> FirefoxCacheV1::StreamBody(const EntryId& id, std::uint64_t limit,
                                                const ByteSink& sink) {
    if (id.source != location_ || id.file != v1::kMapFileName) {
        return Fail("no readable body for entry " + id.file + " " + std::to_string(id.locator) +
                    " in " + location_);
    }
    std::string problem;
    const auto mapBytes = ReadMap(location_, problem);
    if (!mapBytes) {
        return Fail(problem.empty() ? location_ + " has no " + std::string(v1::kMapFileName)
                                    : problem);
    }
    auto map = v1::ParseMap(Bytes(*mapBytes));
    if (!map) {
        return Failure{map.error()};
    }
    const auto item = std::find_if(map->records.begin(), map->records.end(),
                                   [&id](const v1::MapRecord& r) { return r.index == id.locator; });
    if (item == map->records.end()) {
        return Fail("the map of " + location_ + " no longer holds entry " +
                    std::to_string(id.locator));
    }
    const BlockFiles blocks(location_);
    auto resolved = ResolveRecord(blocks, location_, *item, Firefox3Layout(*map));
    if (!resolved) {
        return Failure{resolved.error()};
    }
    const BodyFacts body = BodyOf(blocks, location_, *item, resolved->record, resolved->firefox3);
    if (!body.unreadable.empty()) {
        return Fail(body.unreadable);
    }
    const auto head = firefox::ElementValue(resolved->record.metadata, v1::kResponseHeadElement);
    const firefox::ResponseFacts facts = firefox::FactsOf(head.value_or(std::string_view()));
    const std::uint64_t storedLimit =
        facts.contentEncoding.empty() ? limit : std::max(limit, limit + kEncodedSlack);
    const std::uint32_t size = resolved->record.dataSize;
    auto stored = size == 0 ? Result<std::pair<std::string, bool>>(std::pair{std::string(), false})
                            : StoredBytes(blocks, location_, body.place, size, storedLimit);
    if (!stored) {
        return Failure{stored.error()};
    }
    auto decoded = DecodeContentStream(facts.contentEncoding, stored->first, limit, sink);
    if (!decoded) {
        return Failure{decoded.error()};
    }
    return StreamedBody{decoded->bytes,
                        stored->second || decoded->truncated ||
                            (facts.contentLength && *facts.contentLength > stored->first.size()),
                        decoded->stopped};
}

std::vector<Status> FirefoxCacheV1::DeleteEntries(const std::vector<CacheEntryRef>& chosen) {
    return std::vector<Status>(chosen.size(), CanDelete());
}

Status FirefoxCacheV1::CanDelete() {
    return Fail(std::string(kReadOnly) +
                "its map and block files would have to change together, and only Firefox may "
                "do that");
}

}  // namespace pellimor
