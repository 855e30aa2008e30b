// Games as a web archive: a WARC file (every record its own gzip member) or a WACZ package
// (a zip, stored, of archive/data.warc.gz, indexes/index.cdx, pages/pages.jsonl and
// datapackage.json), which replay tools play as the browser got the files.
//
// Records: one warcinfo, then one per file (each address once): a response record holding
// the cached status line and header lines with the body, or a resource record when the
// cache kept no response head. WARC-Date is when the cache got the file: the response's
// Date, else the time the cache last fetched or used it, else its last change.
#pragma once

#include <string>
#include <vector>

#include "files/GameFiles.h"
#include "ports/ArchiveFile.h"

namespace pellimor {

enum class WebArchiveForm { kWarc, kWacz };

struct WebArchiveGame {
    std::string title;
    GameFileList files;
};

struct WebArchiveServices {
    CacheSource& cache;
    FileOps& files;
    Decompressor& decompressor;
    GzipCompressor& gzip;
    ArchiveFile& out;
};

struct WebArchiveSummary {
    std::size_t records = 0;  // besides the warcinfo record
    std::vector<std::string> notes;
};

// now: the time of the export (the warcinfo record's date, the package's); software: the
// program and its version.
Result<WebArchiveSummary> WriteWebArchive(const std::vector<WebArchiveGame>& games,
                                          WebArchiveForm form, UnixTime now,
                                          const std::string& software, WebArchiveServices& s);

}  // namespace pellimor
