#include "files/warc/WebArchive.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "files/ExportIndex.h"
#include "files/warc/Cdxj.h"
#include "files/warc/Digests.h"
#include "files/warc/WarcRecord.h"
#include "sites/Addresses.h"

namespace pellimor {

namespace {

constexpr std::uint64_t kLargestFile = 512ULL << 20;
constexpr char kWarcName[] = "data.warc.gz";

std::string IdKey(const EntryId& id) {
    return id.source + '\n' + id.file + '\n' + std::to_string(id.locator);
}

// What the cache knows of an entry beyond its body.
struct EntryHead {
    std::string headers;
    std::string contentType;
    std::optional<UnixTime> fetched;
};

// The Date header's time, when headers carry one.
std::optional<UnixTime> DateHeader(std::string_view headers) {
    for (std::size_t start = 0; start < headers.size();) {
        std::size_t end = headers.find('\n', start);
        if (end == std::string_view::npos) {
            end = headers.size();
        }
        const std::string_view line =
            headers.substr(start, std::min(end - start, std::size_t{200}));
        start = end + 1;
        if (line.size() > 5 && (line[0] == 'D' || line[0] == 'd') && line.substr(1, 4) == "ate:") {
            return ParseHttpDate(line.substr(5));
        }
    }
    return std::nullopt;
}

// Writes records into the archive, keeping the index lines and the digest of the WARC.
class RecordWriter {
  public:
    explicit RecordWriter(WebArchiveServices& s) : s_(s) {}

    // The gzip member's place in the WARC, or why it could not be written.
    Result<std::pair<std::uint64_t, std::uint64_t>> Write(const std::string& record) {
        auto member = s_.gzip.GzipMember(record);
        if (!member) {
            return Failure{member.error()};
        }
        const std::uint64_t offset = s_.out.Written();
        if (const Status appended = s_.out.Append(*member); !appended.ok()) {
            return Failure{appended.error()};
        }
        sha256_.Update(*member);
        return std::pair{offset, static_cast<std::uint64_t>(member->size())};
    }
    Sha256& sha256() { return sha256_; }

  private:
    WebArchiveServices& s_;
    Sha256 sha256_;
};

struct Member {
    std::string path;
    std::string hash;
    std::uint64_t bytes = 0;
};

Status PutMember(ArchiveFile& out, const std::string& path, const std::string& bytes,
                 std::vector<Member>& members) {
    Status status = out.BeginMember(path);
    if (status.ok()) {
        status = out.Append(bytes);
    }
    if (status.ok()) {
        status = out.EndMember();
    }
    Sha256 hash;
    hash.Update(bytes);
    members.push_back(Member{path, Sha256Text(hash.Finish()), bytes.size()});
    return status;
}

std::string PackageText(const std::vector<Member>& members, const std::string& title, UnixTime now,
                        const std::string& software, const std::string& mainPage,
                        const std::string& mainDate) {
    std::string out = "{\n  \"profile\": \"data-package\",\n  \"resources\": [";
    for (std::size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        const std::string name = m.path.substr(m.path.rfind('/') + 1);
        out += i > 0 ? ",\n" : "\n";
        out += "    {\"name\": " + JsonQuoted(name) + ", \"path\": " + JsonQuoted(m.path) +
               ", \"hash\": " + JsonQuoted(m.hash) + ", \"bytes\": " + std::to_string(m.bytes) +
               "}";
    }
    out += "\n  ],\n  \"wacz_version\": \"1.1.1\",\n";
    out += "  \"title\": " + JsonQuoted(title) + ",\n";
    out += "  \"software\": " + JsonQuoted(software) + ",\n";
    out += "  \"created\": " + JsonQuoted(WarcDate(now)) + ",\n";
    if (!mainPage.empty()) {
        out += "  \"mainPageUrl\": " + JsonQuoted(mainPage) + ",\n";
        out += "  \"mainPageDate\": " + JsonQuoted(mainDate) + ",\n";
    }
    out += "  \"modified\": " + JsonQuoted(WarcDate(now)) + "\n}\n";
    return out;
}

// The heads and times of the entries archived, from one pass over the cache.
std::unordered_map<std::string, EntryHead> ReadHeads(const std::vector<WebArchiveGame>& games,
                                                     CacheSource& cache,
                                                     WebArchiveSummary& summary) {
    std::unordered_map<std::string, EntryHead> heads;
    for (const WebArchiveGame& game : games) {
        for (const GameFile& f : game.files.files) {
            heads.emplace(IdKey(f.file.id), EntryHead{});
        }
    }
    const Status listed = cache.Enumerate([&heads](const CacheEntry& entry) {
        const auto found = heads.find(IdKey(entry.id));
        if (found != heads.end() && found->second.headers.empty()) {
            found->second.headers = entry.headers;
            found->second.contentType = entry.contentType;
            found->second.fetched = DateHeader(entry.headers);
            if (!found->second.fetched) {
                found->second.fetched = entry.lastAccess ? entry.lastAccess : entry.lastModified;
            }
        }
        return true;
    });
    if (!listed.ok()) {
        summary.notes.push_back("The cache could not be read whole: " + listed.error());
    }
    return heads;
}

// The archive's first record, which says what wrote it; its record id.
Result<std::string> WriteInfo(RecordWriter& writer, UnixTime now, const std::string& warcName,
                              const std::string& software) {
    const std::string infoId = WarcRecordId("warcinfo " + WarcDate(now) + " " + warcName);
    const std::string block =
        "software: " + software +
        "\r\nformat: WARC File Format 1.1\r\n"
        "conformsTo: http://iipc.github.io/warc-specifications/specifications/warc-format/"
        "warc-1.1/\r\n"
        "description: Flash games and animations as a web browser's cache kept them\r\n";
    const WarcFields fields{{"WARC-Type", "warcinfo"},
                            {"WARC-Record-ID", infoId},
                            {"WARC-Date", WarcDate(now)},
                            {"WARC-Filename", warcName},
                            {"Content-Type", "application/warc-fields"},
                            {"WARC-Block-Digest", WarcSha1(block)}};
    if (auto written = writer.Write(WarcRecordText(fields, block)); !written) {
        return Failure{written.error()};
    }
    return infoId;
}

// The records of the games' files as they are written: what each needs, what they made.
struct Records {
    RecordWriter& writer;
    GameFileServices read;
    std::unordered_map<std::string, EntryHead>& heads;
    std::string infoId;
    UnixTime now;
    WebArchiveSummary& summary;
    std::vector<std::string> index;            // the CDXJ lines
    std::unordered_set<std::string> archived;  // canonical addresses
};

// The file's record, once for each address: true with its address and date when it was
// written, false when it was not archived (a note says why, or it was archived before).
Result<bool> WriteFileRecord(const GameFile& f, Records& r, std::string& uri, std::string& date) {
    uri = WarcUri(f.address);
    if (!r.archived.insert(CanonicalAddress(f.address)).second) {
        return false;
    }
    auto body = ReadGameFile(f.file, r.read, kLargestFile);
    if (!body) {
        r.summary.notes.push_back("Not archived: " + f.address + " (" + body.error() + ")");
        return false;
    }
    const EntryHead& head = r.heads[IdKey(f.file.id)];
    const UnixTime when = head.fetched.value_or(f.file.time.value_or(r.now));
    date = WarcDate(when);
    const std::string payloadDigest = WarcSha1(body->bytes);
    const auto http = ArchivedResponseHead(head.headers, body->bytes.size());
    WarcFields fields{{"WARC-Type", http ? "response" : "resource"},
                      {"WARC-Record-ID", WarcRecordId(uri + " " + date + " " + payloadDigest)},
                      {"WARC-Warcinfo-ID", r.infoId},
                      {"WARC-Date", date},
                      {"WARC-Target-URI", uri}};
    std::string block;
    CdxjRecord line{uri, WarcTimestamp(when), "", 0, payloadDigest, 0, 0, kWarcName};
    if (http) {
        block = http->text + body->bytes;
        fields.emplace_back("Content-Type", "application/http; msgtype=response");
        line.mime = http->mime;
        line.status = http->status;
    } else {
        block = body->bytes;
        std::string type = !head.contentType.empty() ? head.contentType : f.file.contentType;
        fields.emplace_back("Content-Type", type.empty() ? "application/octet-stream" : type);
        line.mime = fields.back().second;
    }
    fields.emplace_back("WARC-Payload-Digest", payloadDigest);
    fields.emplace_back("WARC-Block-Digest", WarcSha1(block));
    if (body->truncated) {
        fields.emplace_back("WARC-Truncated", "length");
    }
    if (http && !http->notes.empty()) {
        std::string note;
        for (const std::string& n : http->notes) {
            note += (note.empty() ? "" : "; ") + n;
        }
        fields.emplace_back("WARC-Pellimor-Note", note);
    }
    const std::string record = WarcRecordText(fields, block);
    block.clear();
    auto place = r.writer.Write(record);
    if (!place) {
        return Failure{place.error()};
    }
    line.offset = place->first;
    line.length = place->second;
    r.index.push_back(CdxjLine(line));
    ++r.summary.records;
    return true;
}

// A WACZ's members after its WARC: the index, the pages and the package that lists them.
Status FinishWacz(WebArchiveServices& s, RecordWriter& writer, std::vector<std::string> index,
                  const std::string& pages, const std::string& title, UnixTime now,
                  const std::string& software, const std::string& mainPage,
                  const std::string& mainDate) {
    std::vector<Member> members;
    members.push_back(Member{std::string("archive/") + kWarcName,
                             Sha256Text(writer.sha256().Finish()), s.out.Written()});
    Status status = s.out.EndMember();
    std::sort(index.begin(), index.end());
    std::string cdx;
    for (const std::string& l : index) {
        cdx += l + "\n";
    }
    if (status.ok()) {
        status = PutMember(s.out, "indexes/index.cdx", cdx, members);
    }
    if (status.ok()) {
        status = PutMember(s.out, "pages/pages.jsonl", pages, members);
    }
    if (status.ok()) {
        std::vector<Member> none;
        status = PutMember(s.out, "datapackage.json",
                           PackageText(members, title, now, software, mainPage, mainDate), none);
    }
    if (status.ok()) {
        status = s.out.Finish();
    }
    return status;
}

}  // namespace

Result<WebArchiveSummary> WriteWebArchive(const std::vector<WebArchiveGame>& games,
                                          WebArchiveForm form, UnixTime now,
                                          const std::string& software, WebArchiveServices& s) {
    WebArchiveSummary summary;
    std::unordered_map<std::string, EntryHead> heads = ReadHeads(games, s.cache, summary);
    const bool wacz = form == WebArchiveForm::kWacz;
    const std::string warcName =
        wacz ? kWarcName : s.out.Path().substr(s.out.Path().rfind('/') + 1);
    if (wacz) {
        if (const Status begun = s.out.BeginMember(std::string("archive/") + kWarcName);
            !begun.ok()) {
            return Failure{begun.error()};
        }
    }
    RecordWriter writer(s);
    Result<std::string> infoId = WriteInfo(writer, now, warcName, software);
    if (!infoId) {
        return Failure{infoId.error()};
    }
    Records records{writer, {s.cache, s.files, s.decompressor}, heads, *infoId, now, summary, {},
                    {}};
    std::string pages =
        "{\"format\": \"json-pages-1.0\", \"id\": \"pages\", \"title\": \"All Pages\"}\n";
    std::string mainPage;
    std::string mainDate;
    for (const WebArchiveGame& game : games) {
        std::string pageUri;
        std::string pageDate;
        for (const GameFile& f : game.files.files) {
            std::string uri;
            std::string date;
            Result<bool> written = WriteFileRecord(f, records, uri, date);
            if (!written) {
                return Failure{written.error()};
            }
            if (*written &&
                (pageUri.empty() || (game.files.page && f.address == *game.files.page))) {
                pageUri = uri;
                pageDate = date;
            }
        }
        if (!pageUri.empty()) {
            pages += "{\"id\": " + JsonQuoted(WarcRecordId("page " + pageUri).substr(10, 36)) +
                     ", \"url\": " + JsonQuoted(pageUri) + ", \"ts\": " + JsonQuoted(pageDate) +
                     ", \"title\": " + JsonQuoted(game.title) + "}\n";
            if (mainPage.empty()) {
                mainPage = pageUri;
                mainDate = pageDate;
            }
        }
    }
    if (!wacz) {
        if (const Status done = s.out.Finish(); !done.ok()) {
            return Failure{done.error()};
        }
        return summary;
    }
    const std::string title = games.size() == 1 ? games[0].title : "Flash games";
    const Status status = FinishWacz(s, writer, std::move(records.index), pages, title, now,
                                     software, mainPage, mainDate);
    if (!status.ok()) {
        return Failure{status.error()};
    }
    return summary;
}

}  // namespace pellimor
