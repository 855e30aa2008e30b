// The platform's objects behind the ports that keep nothing of a cache: the movies'
// decompressor, the reader of files named outside a cache, the opener of the folders exports write
// into, and the makers of archives.
#pragma once

#include <memory>
#include <string>

#include "platform/archive/ArchiveFilePosix.h"
#include "platform/archive/ZlibGzip.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/ExportFolderPosix.h"
#include "platform/fileops/PosixFileOps.h"
#include "ports/ArchiveFiles.h"
#include "ports/ExportFolders.h"

namespace pellimor {

class PosixExportFolders : public ExportFolders {
  public:
    Result<std::unique_ptr<ExportFolder>> Open(const std::string& path) override {
        auto opened = ExportFolderPosix::Open(path);
        if (!opened) {
            return Fail(opened.error());
        }
        return std::unique_ptr<ExportFolder>(std::move(*opened));
    }
};

class PosixArchiveFiles : public ArchiveFiles {
  public:
    Result<std::unique_ptr<ArchiveFile>> Create(const std::string& path, Form form,
                                                UnixTime modified) override {
        auto made = ArchiveFilePosix::Create(
            path,
            form == Form::kZip ? ArchiveFilePosix::Form::kZip : ArchiveFilePosix::Form::kPlain,
            modified);
        if (!made) {
            return Fail(made.error());
        }
        return std::unique_ptr<ArchiveFile>(std::move(*made));
    }
};

struct PlatformTools {
    SwfDecompressor decompressor;
    // Reads files the user names outside any cache.
    PosixFileOps files;
    PosixExportFolders exportFolders;
    PosixArchiveFiles archiveFiles;
    ZlibGzip gzip;
};

}  // namespace pellimor
