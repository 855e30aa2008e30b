#include "platform/chromium/BlockFileStore.h"

#include <cstdio>

#include "ground/ByteReader.h"
#include "platform/chromium/BlockFileFormat.h"
#include "platform/chromium/ReadAt.h"

namespace pellimor::chromium {

namespace {

namespace fmt = chromium_blockfile;

std::uint32_t FileType(std::uint32_t addr) {
    return (addr & fmt::kAddrFileTypeMask) >> fmt::kAddrFileTypeShift;
}

std::uint32_t BlockCount(std::uint32_t addr) {
    return ((addr & fmt::kAddrBlockCountMask) >> fmt::kAddrBlockCountShift) + 1;
}

std::uint32_t StartBlock(std::uint32_t addr) {
    return addr & fmt::kAddrStartBlockMask;
}

std::string Hex(std::uint32_t addr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", addr);
    return text;
}

}  // namespace

BlockFileStore::BlockFileStore(std::string root, CaseBlindNames names)
    : root_(std::move(root)), names_(std::move(names)) {}

Result<std::string> BlockFileStore::FileName(std::uint32_t addr) {
    if (!(addr & fmt::kAddrInitialized)) {
        return Fail("address " + Hex(addr) + " is not in use");
    }
    const std::uint32_t type = FileType(addr);
    char name[32];
    if (type == fmt::kExternal) {
        std::snprintf(name, sizeof name, "f_%06x", addr & fmt::kAddrFileNumberMask);
        return std::string(name);
    }
    if (type == fmt::kBlockFiles) {
        return Fail("address " + Hex(addr) + " names no stored data");
    }
    std::snprintf(name, sizeof name, "data_%u",
                  (addr & fmt::kAddrFileSelectorMask) >> fmt::kAddrFileSelectorShift);
    return std::string(name);
}

std::optional<std::string> BlockFileStore::ExistingName(std::uint32_t addr) const {
    Result<std::string> name = FileName(addr);
    if (!name) {
        return std::nullopt;
    }
    return FindName(names_, *name);
}

Result<BlockFileStore::OpenFile*> BlockFileStore::Open(std::uint32_t addr) {
    Result<std::string> name = FileName(addr);
    if (!name) {
        return Failure{name.error()};
    }
    auto [slot, added] = open_.try_emplace(*name);
    OpenFile& open = slot->second;
    if (added) {
        const auto present = FindName(names_, *name);
        if (!present) {
            open.error = *name + " is missing";
        } else {
            const std::string path = root_ + "/" + *present;
            if (Result<OpenedFile> opened = OpenWithin(path, root_); opened) {
                open.file = std::move(opened).value();
            } else {
                open.error = opened.error();
            }
            if (open.file && FileType(addr) != fmt::kExternal) {
                // A block file: its header says which block size it holds.
                Result<std::string> header =
                    ReadAt(open.file->fd.get(), 0, fmt::kBlockHeaderSize, path);
                const ByteReader reader(header ? AsBytes(*header)
                                               : std::span<const std::uint8_t>());
                const auto magic = reader.U32(fmt::kBlockMagicOffset);
                const auto entrySize = reader.U32(fmt::kBlockEntrySizeOffset);
                if (!header || !magic || *magic != fmt::kBlockMagic ||
                    reader.size() < fmt::kBlockHeaderSize) {
                    open.error = *name + " is no block file of Chrome's cache";
                    open.file.reset();
                } else {
                    open.blockSize = *entrySize;
                }
            }
        }
    }
    if (!open.file) {
        return Failure{open.error};
    }
    if (FileType(addr) != fmt::kExternal && open.blockSize != fmt::kBlockSizes[FileType(addr)]) {
        return Fail("address " + Hex(addr) + " points into " + *name + ", whose blocks are " +
                    std::to_string(open.blockSize) + " bytes, not " +
                    std::to_string(fmt::kBlockSizes[FileType(addr)]));
    }
    return &open;
}

Result<std::string> BlockFileStore::Record(std::uint32_t addr, std::uint32_t expectedType) {
    if ((addr & fmt::kAddrInitialized) && FileType(addr) != expectedType) {
        return Fail("address " + Hex(addr) + " points to the wrong kind of block");
    }
    Result<OpenFile*> open = Open(addr);
    if (!open) {
        return Failure{open.error()};
    }
    const std::size_t length = BlockCount(addr) * (*open)->blockSize;
    const std::uint64_t offset =
        fmt::kBlockHeaderSize + std::uint64_t{StartBlock(addr)} * (*open)->blockSize;
    if (offset + length > (*open)->file->size) {
        return Fail("address " + Hex(addr) + " lies past the end of its block file");
    }
    return ReadAt((*open)->file->fd.get(), offset, length, root_);
}

Result<StoredStream> BlockFileStore::Stream(std::uint32_t addr, std::uint64_t length) {
    Result<OpenFile*> open = Open(addr);
    if (!open) {
        return Failure{open.error()};
    }
    const OpenedFile& file = *(*open)->file;
    std::uint64_t offset = 0;
    if (FileType(addr) != fmt::kExternal) {
        const std::uint64_t room = std::uint64_t{BlockCount(addr)} * (*open)->blockSize;
        if (length > room) {
            return Fail("address " + Hex(addr) + ": a stream of " + std::to_string(length) +
                        " bytes does not fit the " + std::to_string(room) + " bytes it names");
        }
        offset = fmt::kBlockHeaderSize + std::uint64_t{StartBlock(addr)} * (*open)->blockSize;
    }
    StoredStream stream;
    const std::uint64_t present = offset < file.size ? file.size - offset : 0;
    const std::uint64_t wanted = std::min(length, present);
    stream.truncated = wanted < length;
    Result<std::string> bytes =
        ReadAt(file.fd.get(), offset, static_cast<std::size_t>(wanted), root_);
    if (!bytes) {
        return Failure{bytes.error()};
    }
    stream.truncated = stream.truncated || bytes->size() < length;
    stream.bytes = std::move(*bytes);
    return stream;
}

}  // namespace pellimor::chromium
