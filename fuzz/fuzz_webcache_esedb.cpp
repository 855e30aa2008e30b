// libesedb over damaged copies of the real WebCacheV01.dat (tests/data/webcache): the input
// says where to cut the database short and which bytes to overwrite, so that every mutation
// lands in a database that is otherwise whole. The tables are read as the WebCache source
// reads them.
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <string>

#include "platform/ByteReader.h"
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

}  // namespace

// Input: u32 length to keep (the whole when larger), then patches: u32 offset, u16 length,
// the bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pellimor;
    const std::string& original = Original();
    if (original.empty()) {
        return 0;
    }
    static const int fd = [&] {
        const int made = ::memfd_create("WebCacheV01.dat", 0);
        return made;
    }();
    const ByteReader input(std::span(data, size));
    const std::size_t keep =
        std::min<std::size_t>(input.U32(0).value_or(0xffffffff), original.size());
    std::string copy = original.substr(0, keep);
    std::size_t at = 4;
    while (!copy.empty() && input.Has(at, 6)) {
        const std::size_t offset = *input.U32(at) % copy.size();
        const std::size_t length = std::min<std::size_t>(*input.U16(at + 4), size - at - 6);
        const std::size_t fits = std::min(length, copy.size() - offset);
        copy.replace(offset, fits, reinterpret_cast<const char*>(data + at + 6), fits);
        at += 6 + length;
    }
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, copy.data(), copy.size(), 0) != static_cast<ssize_t>(copy.size())) {
        return 0;
    }
    webcache::TableVisitor visit;
    visit.containers = [](const std::vector<webcache::ContainerRow>&) {};
    visit.row = [](std::int64_t, const webcache::ContentRow&) { return true; };
    (void)webcache::ReadTables(fd, visit);
    return 0;
}
