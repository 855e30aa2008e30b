// The files of a Chromium block-file cache behind its addresses: data_N block files and
// f_XXXXXX external files, opened once each (inside the cache folder only) and read where a
// CacheAddr points, every length checked against the blocks it names.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/chromium/ChromiumFolders.h"
#include "platform/fileops/ConfinedFile.h"
#include "ports/Result.h"

namespace pellimor::chromium {

struct StoredStream {
    std::string bytes;
    bool truncated = false;  // its file ends before the recorded length
};

class BlockFileStore {
  public:
    BlockFileStore(std::string root, CaseBlindNames names);

    // The name of the file an address points into ("data_1", "f_00001a"), or a failure for
    // an address that names no file.
    static Result<std::string> FileName(std::uint32_t addr);

    // The file's name as it stands in the folder, or nothing when it is absent.
    std::optional<std::string> ExistingName(std::uint32_t addr) const;

    // The record at a block address, whole (every block it spans); for entries and the like.
    Result<std::string> Record(std::uint32_t addr, std::uint32_t expectedType);

    // length bytes of the stream at addr.
    Result<StoredStream> Stream(std::uint32_t addr, std::uint64_t length);

    const std::string& root() const { return root_; }
    const CaseBlindNames& names() const { return names_; }

    // A name of the folder as it stands there, looked up by its lower-case form.
    std::optional<std::string> Find(std::string_view lowerName) const {
        return FindName(names_, lowerName);
    }

  private:
    struct OpenFile {
        std::optional<OpenedFile> file;
        std::string error;
        std::size_t blockSize = 0;
    };
    Result<OpenFile*> Open(std::uint32_t addr);

    std::string root_;
    CaseBlindNames names_;
    std::map<std::string, OpenFile> open_;
};

}  // namespace pellimor::chromium
