// The platform's objects behind the operations' ports that keep nothing of a cache: the
// movies' decompressor and the opener of the folders exports write into.
#pragma once

#include <memory>
#include <string>

#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/ExportFolderPosix.h"
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

struct PlatformTools {
    SwfDecompressor decompressor;
    PosixExportFolders exportFolders;
};

}  // namespace pellimor
