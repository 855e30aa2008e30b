// libesedb over damaged copies of the real WebCacheV01.dat (tests/data/webcache): the input
// says where to cut the database short and which bytes to overwrite, so that every mutation
// lands in a database that is otherwise whole. The tables are read as the WebCache source
// reads them.
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ground/ByteReader.h"
#include "platform/webcache/EsedbTables.h"

namespace {

const std::string& Original() {
    static const std::string bytes = [] {
        std::string out;
        gzFile in = gzopen(PELLIMOR_TEST_DATA "/webcache/WebCacheV01.dat.gz", "rb");
        char buffer[1 << 16];
        int n = 0;
        while (in != nullptr && (n = gzread(in, buffer, sizeof buffer)) > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
        }
        if (in != nullptr) {
            gzclose(in);
        }
        return out;
    }();
    return bytes;
}

// The database in memory, whole; each input damages it and it is mended after.
int DatabaseFile() {
    static const int fd = [] {
        const int made = ::memfd_create("WebCacheV01.dat", 0);
        const std::string& bytes = Original();
        if (made >= 0 &&
            ::pwrite(made, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
            return -1;
        }
        return made;
    }();
    return fd;
}

}  // namespace

// Input: u32 length to keep (the whole when larger), then patches: u32 offset, u16 length,
// the bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pellimor;
    const std::string& original = Original();
    const int fd = DatabaseFile();
    if (original.empty() || fd < 0) {
        return 0;
    }
    const ByteReader input(std::span(data, size));
    const std::size_t keep =
        std::min<std::size_t>(input.U32(0).value_or(0xffffffff), original.size());
    std::vector<std::pair<std::size_t, std::size_t>> damaged;  // offset, length
    std::size_t at = 4;
    while (keep > 0 && input.Has(at, 6)) {
        const std::size_t offset = *input.U32(at) % keep;
        const std::size_t length = std::min<std::size_t>(*input.U16(at + 4), size - at - 6);
        const std::size_t fits = std::min(length, keep - offset);
        if (::pwrite(fd, data + at + 6, fits, static_cast<off_t>(offset)) < 0) {
            break;
        }
        damaged.emplace_back(offset, fits);
        at += 6 + length;
    }
    if (keep < original.size() && ::ftruncate(fd, static_cast<off_t>(keep)) != 0) {
        return 0;
    }
    webcache::TableVisitor visit;
    visit.containers = [](const std::vector<webcache::ContainerRow>&) {};
    visit.row = [](std::int64_t, const webcache::ContentRow&) { return true; };
    (void)webcache::ReadTables(fd, visit);
    for (const auto& [offset, length] : damaged) {
        (void)::pwrite(fd, original.data() + offset, length, static_cast<off_t>(offset));
    }
    if (keep < original.size()) {
        (void)::pwrite(fd, original.data() + keep, original.size() - keep,
                       static_cast<off_t>(keep));
    }
    return 0;
}
