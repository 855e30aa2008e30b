// An archive file on this machine: created with O_EXCL (never replacing a file, never through
// a link), removed again when it is closed unfinished. As a zip (APPNOTE 6.3) every member is
// stored, not compressed:
//
//   per member   local header   "PK\3\4", version 20, flags 0, method 0 (stored), DOS time and
//                               date, CRC-32, size, size, name length, extra length 0, name
//                data           the member's bytes
//   directory    per member     "PK\1\2", made by Unix 2.0, the local header's fields, comment
//                               0, disk 0, attributes (0644 regular file), local header offset
//   end          "PK\5\6", disk 0, 0, members, members, directory size, directory offset, 0
//
// The local header's CRC-32 and sizes are written once the member is complete. Members and
// the file stay below 4 GiB (no zip64): a bigger one is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ports/ArchiveFile.h"
#include "ports/CacheSource.h"

namespace pellimor {

class ArchiveFilePosix : public ArchiveFile {
  public:
    enum class Form { kPlain, kZip };
    // modified: the members' time in the zip.
    static Result<std::unique_ptr<ArchiveFilePosix>> Create(const std::string& path, Form form,
                                                            UnixTime modified);
    ~ArchiveFilePosix() override;
    ArchiveFilePosix(const ArchiveFilePosix&) = delete;
    ArchiveFilePosix& operator=(const ArchiveFilePosix&) = delete;

    const std::string& Path() const override { return path_; }
    Status BeginMember(const std::string& name) override;
    Status Append(std::string_view bytes) override;
    std::uint64_t Written() const override;
    Status EndMember() override;
    Status Finish() override;

  private:
    ArchiveFilePosix(std::string path, int fd, Form form, UnixTime modified);
    Status Put(std::string_view bytes);

    struct Member {
        std::string name;
        std::uint64_t headerOffset = 0;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
    };

    std::string path_;
    int fd_;
    Form form_;
    std::uint16_t dosTime_ = 0;
    std::uint16_t dosDate_ = 0;
    std::uint64_t fileSize_ = 0;
    std::vector<Member> members_;
    bool inMember_ = false;
    bool finished_ = false;
    bool failed_ = false;
};

}  // namespace pellimor
