#include "platform/webcache/EseHeader.h"

#include "ground/ByteReader.h"

namespace pellimor::webcache {

Result<EseHeader> ParseEseHeader(std::span<const std::uint8_t> bytes) {
    const ByteReader reader(bytes);
    if (!reader.Has(0, kEseHeaderSize) || reader.U32(4) != kEseSignature) {
        return Fail("it is not an ESE database (no ESE signature)");
    }
    if (reader.U32(12) != 0) {
        return Fail("it is an ESE streaming file, not a database");
    }
    EseHeader header;
    header.state = *reader.U32(kEseStateOffset);
    header.pageSize = *reader.U32(236);
    switch (header.pageSize) {
        case 2048:
        case 4096:
        case 8192:
        case 16384:
        case 32768:
            break;
        default:
            return Fail("its header gives a page size of " + std::to_string(header.pageSize) +
                        " bytes, which ESE never uses");
    }
    return header;
}

}  // namespace pellimor::webcache
