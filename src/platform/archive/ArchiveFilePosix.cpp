#include "platform/archive/ArchiveFilePosix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/archive/ZlibGzip.h"

namespace pellimor {

namespace {

constexpr std::uint64_t kZipLimit = 0xFFFFFFFFULL;

void Put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

ArchiveFilePosix::ArchiveFilePosix(std::string path, int fd, Form form, UnixTime modified)
    : path_(std::move(path)), fd_(fd), form_(form) {
    const std::time_t t = static_cast<std::time_t>(modified);
    std::tm parts{};
    if (gmtime_r(&t, &parts) != nullptr && parts.tm_year >= 80 && parts.tm_year < 80 + 128) {
        dosTime_ = static_cast<std::uint16_t>((parts.tm_hour << 11) | (parts.tm_min << 5) |
                                              (parts.tm_sec / 2));
        dosDate_ = static_cast<std::uint16_t>(((parts.tm_year - 80) << 9) |
                                              ((parts.tm_mon + 1) << 5) | parts.tm_mday);
    } else {
        dosDate_ = (1 << 5) | 1;  // 1980-01-01
    }
}

Result<std::unique_ptr<ArchiveFilePosix>> ArchiveFilePosix::Create(const std::string& path,
                                                                   Form form, UnixTime modified) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST) {
            return Fail(path + ": a file is there already; it is not replaced");
        }
        return Fail(path + ": " + std::strerror(errno));
    }
    return std::unique_ptr<ArchiveFilePosix>(new ArchiveFilePosix(path, fd, form, modified));
}

ArchiveFilePosix::~ArchiveFilePosix() {
    if (!finished_) {
        // Remove what this object made, and only that: the name still leads to our file.
        struct stat ours {};
        struct stat there {};
        if (fstat(fd_, &ours) == 0 && lstat(path_.c_str(), &there) == 0 &&
            ours.st_dev == there.st_dev && ours.st_ino == there.st_ino) {
            unlink(path_.c_str());
        }
    }
    close(fd_);
}

Status ArchiveFilePosix::Put(std::string_view bytes) {
    if (failed_) {
        return Fail(path_ + ": an earlier write failed");
    }
    if (form_ == Form::kZip && fileSize_ + bytes.size() > kZipLimit) {
        failed_ = true;
        return Fail(path_ + ": the package would pass 4 GiB, more than a zip without zip64 holds");
    }
    while (!bytes.empty()) {
        const ssize_t written = write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed_ = true;
            return Fail(path_ + ": " + std::strerror(written < 0 ? errno : ENOSPC));
        }
        fileSize_ += static_cast<std::uint64_t>(written);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return Done{};
}

Status ArchiveFilePosix::BeginMember(const std::string& name) {
    if (form_ != Form::kZip || inMember_ || name.empty() || name.size() > 0xFFFF) {
        return Fail(path_ + ": no member " + name + " can be started here");
    }
    Member member{name, fileSize_, 0, 0};
    std::string header;
    Put32(header, 0x04034B50);
    Put16(header, 20);
    Put16(header, 0);  // flags: sizes in this header
    Put16(header, 0);  // stored
    Put16(header, dosTime_);
    Put16(header, dosDate_);
    Put32(header, 0);  // CRC-32 and sizes: written by EndMember
    Put32(header, 0);
    Put32(header, 0);
    Put16(header, static_cast<std::uint32_t>(name.size()));
    Put16(header, 0);
    header += name;
    if (Status put = Put(header); !put.ok()) {
        return put;
    }
    members_.push_back(std::move(member));
    inMember_ = true;
    return Done{};
}

Status ArchiveFilePosix::Append(std::string_view bytes) {
    if (form_ == Form::kZip && !inMember_) {
        return Fail(path_ + ": bytes outside a member");
    }
    if (Status put = Put(bytes); !put.ok()) {
        return put;
    }
    if (inMember_) {
        members_.back().crc = Crc32(members_.back().crc, bytes);
        members_.back().size += bytes.size();
    }
    return Done{};
}

std::uint64_t ArchiveFilePosix::Written() const {
    return inMember_ ? members_.back().size : fileSize_;
}

Status ArchiveFilePosix::EndMember() {
    if (!inMember_ || failed_) {
        return Fail(path_ + ": no member to end");
    }
    inMember_ = false;
    const Member& m = members_.back();
    std::string fields;
    Put32(fields, m.crc);
    Put32(fields, static_cast<std::uint32_t>(m.size));
    Put32(fields, static_cast<std::uint32_t>(m.size));
    // The CRC-32 sits 14 bytes into the local header.
    const auto at = static_cast<off_t>(m.headerOffset + 14);
    if (pwrite(fd_, fields.data(), fields.size(), at) != static_cast<ssize_t>(fields.size())) {
        failed_ = true;
        return Fail(path_ + ": " + std::strerror(errno));
    }
    return Done{};
}

Status ArchiveFilePosix::Finish() {
    if (inMember_ || failed_) {
        return Fail(path_ + ": the archive is not complete");
    }
    if (form_ == Form::kZip) {
        if (members_.size() > 0xFFFF) {
            return Fail(path_ + ": too many members for a zip without zip64");
        }
        const std::uint64_t directoryOffset = fileSize_;
        std::string directory;
        for (const Member& m : members_) {
            Put32(directory, 0x02014B50);
            Put16(directory, (3 << 8) | 20);  // made on Unix, zip 2.0
            Put16(directory, 20);
            Put16(directory, 0);
            Put16(directory, 0);
            Put16(directory, dosTime_);
            Put16(directory, dosDate_);
            Put32(directory, m.crc);
            Put32(directory, static_cast<std::uint32_t>(m.size));
            Put32(directory, static_cast<std::uint32_t>(m.size));
            Put16(directory, static_cast<std::uint32_t>(m.name.size()));
            Put16(directory, 0);  // extra
            Put16(directory, 0);  // comment
            Put16(directory, 0);  // disk
            Put16(directory, 0);  // internal attributes
            Put32(directory, 0100644U << 16);
            Put32(directory, static_cast<std::uint32_t>(m.headerOffset));
            directory += m.name;
        }
        std::string end;
        Put32(end, 0x06054B50);
        Put16(end, 0);
        Put16(end, 0);
        Put16(end, static_cast<std::uint32_t>(members_.size()));
        Put16(end, static_cast<std::uint32_t>(members_.size()));
        Put32(end, static_cast<std::uint32_t>(directory.size()));
        Put32(end, static_cast<std::uint32_t>(directoryOffset));
        Put16(end, 0);
        if (Status put = Put(directory + end); !put.ok()) {
            return put;
        }
    }
    if (fsync(fd_) != 0) {
        return Fail(path_ + ": " + std::strerror(errno));
    }
    finished_ = true;
    return Done{};
}

}  // namespace pellimor
