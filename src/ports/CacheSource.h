// A browser's cache as the core sees it, whatever its format: entries to walk, bodies to
// read, entries to delete by identity. Every format (WinINet's index.dat, Chromium's simple
// and block-file caches, Firefox's cache2 and its older block files) implements this.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/ByteSink.h"
#include "ports/Result.h"

namespace pellimor {

// The names sources give themselves; the user sees them.
inline constexpr std::string_view kInternetExplorerSource = "Internet Explorer";
inline constexpr std::string_view kChromeSource = "Chrome";
inline constexpr std::string_view kFirefoxSource = "Firefox";
inline constexpr std::string_view kEdgeSource = "Edge";

enum class EntryKind { kDocument, kCookie, kHistory, kOther };

// Which entry of which source: never the address alone, since one address may be held
// twice. source is the source's location (its folder or profile); file and locator say
// where inside it, in the format's own terms (for index.dat the container and the record's
// offset; for Chromium's simple cache the entry's hash; for Firefox's cache2 the entry
// file's name).
struct EntryId {
    std::string source;
    std::string file;
    std::uint64_t locator = 0;
    bool operator==(const EntryId&) const = default;
};

// Seconds since 1970-01-01 00:00:00 UTC.
using UnixTime = std::int64_t;

struct CacheEntry {
    EntryId id;
    std::string_view sourceName;  // one of the names above
    EntryKind kind = EntryKind::kOther;
    std::optional<std::string> url;  // UTF-8
    // The body as a file of its own, complete and as the server sent it, where the format
    // keeps one (WinINet always; Chromium's block files for large bodies); full path.
    std::optional<std::string> localFileName;
    // The format names each body's file after its address, so that the name's extension
    // says what it holds (WinINet); otherwise content type and first bytes say it.
    bool typedByFileName = false;
    // The name the format gives the body's file beside other ways of typing it (WebCache's
    // Filename), also where that file cannot be used; a ".swf" name makes a movie.
    std::string storedName;
    std::optional<UnixTime> lastModified;
    std::optional<UnixTime> lastAccess;
    std::optional<UnixTime> expires;
    std::optional<std::uint64_t> size;  // the body's length as the format records it
    std::string headers;                // raw response headers, lines as the server sent them
    std::string contentType;            // lower case, without parameters; may be empty
    std::string contentEncoding;        // lower case ("gzip", "br" ...); empty for none
    std::string bodyStart;              // the body's first bytes (up to 8), where seen
    // Why the body cannot be read (its block file is missing ...); empty when it can.
    std::string unreadable;
};

// A body as read: its bytes decoded from the content encoding, and whether fewer bytes
// were stored than the format recorded (shown and saved as they are, never padded).
struct CacheBody {
    std::string bytes;
    bool truncated = false;
};

// A body handed on as it was read: how many decoded bytes went to the sink, whether fewer
// bytes were stored than the format recorded, and whether the sink stopped it early.
struct StreamedBody {
    std::uint64_t bytes = 0;
    bool truncated = false;
    bool stopped = false;
};

// An entry the user chose, as it was listed, so that a delete can check that what stands
// there now is still that entry.
struct CacheEntryRef {
    EntryId id;
    std::optional<std::string> url;
    std::optional<std::string> localFileName;
};

class CacheSource {
  public:
    virtual ~CacheSource() = default;
    virtual std::string_view Name() const = 0;
    // The folder or profile this source reads; an EntryId's source.
    virtual const std::string& Location() const = 0;
    // Calls visit for every entry in the source's own order; visit returns false to stop.
    // A failure says what could not be read; the entries visited before it stand.
    virtual Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) = 0;
    // The body of one entry, at most limit bytes once decoded.
    virtual Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t limit) = 0;
    // The same body handed to sink piece by piece as it is read and decoded, so that memory
    // follows what the sink keeps, not the body's size; a body growing beyond limit fails.
    // Formats read their stored bytes in pieces; this default reads the body whole.
    virtual Result<StreamedBody> StreamBody(const EntryId& id, std::uint64_t limit,
                                            const ByteSink& sink) {
        Result<CacheBody> body = ReadBody(id, limit);
        if (!body) {
            return Failure{body.error()};
        }
        StreamedBody streamed{0, body->truncated, false};
        const std::string_view bytes = body->bytes;
        for (std::size_t at = 0; at < bytes.size() && !streamed.stopped; at += kBodyPiece) {
            const std::string_view piece = bytes.substr(at, kBodyPiece);
            streamed.bytes += piece.size();
            streamed.stopped = !sink(piece);
        }
        return streamed;
    }
    // Deletes each chosen entry with what the format keeps for it. One status each, in
    // order; a source may change its files once for all of them.
    virtual std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) = 0;
    // Why nothing of this source may be changed, for the user; ok when deleting is possible.
    virtual Status CanDelete() = 0;
    // The full paths of files the format keeps one body in (one per entry) that hold a SWF
    // movie by their first bytes but that no entry refers to any more.
    virtual Status EnumerateLeftovers(const std::function<bool(const std::string&)>& /*visit*/) {
        return Done{};
    }
    // The folder of path when it is one of the left-over files this source reported (a
    // delete checks the file against it); nothing when it is not.
    virtual std::optional<std::string> LeftoverFolderOf(const std::string& /*path*/) {
        return std::nullopt;
    }
    // Whether this entry may be deleted (a set of sources asks the entry's own).
    virtual Status CanDeleteEntry(const EntryId& /*id*/) { return CanDelete(); }
};

}  // namespace pellimor
