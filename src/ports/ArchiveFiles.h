// Creates the files web archives and packed games are written into, by the path the user gave.
#pragma once

#include <memory>
#include <string>

#include "ports/ArchiveFile.h"
#include "ports/CacheSource.h"
#include "ports/Result.h"

namespace pellimor {

class ArchiveFiles {
  public:
    enum class Form { kPlain, kZip };
    virtual ~ArchiveFiles() = default;
    // A new file at path (never one replacing a file); modified: the members' time in a zip.
    virtual Result<std::unique_ptr<ArchiveFile>> Create(const std::string& path, Form form,
                                                        UnixTime modified) = 0;
};

}  // namespace pellimor
