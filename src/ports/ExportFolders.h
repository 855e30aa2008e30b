// Opens the folder an export or the played saves are written into, by the path the user chose.
#pragma once

#include <memory>
#include <string>

#include "ports/ExportFolder.h"
#include "ports/Result.h"

namespace pellimor {

class ExportFolders {
  public:
    virtual ~ExportFolders() = default;
    // The folder at path, held open; a failure says why it takes no files.
    virtual Result<std::unique_ptr<ExportFolder>> Open(const std::string& path) = 0;
};

}  // namespace pellimor
