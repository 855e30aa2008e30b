#include "catalogue/SolFile.h"

#include "catalogue/AmfCursor.h"
#include "catalogue/AmfReader.h"

namespace pellimor {

SolContents ReadSol(std::string_view bytes) {
    SolContents sol;
    amf::Cursor in(bytes);
    const auto magic = in.Unsigned(2);
    const auto length = in.Unsigned(4);
    const auto tag = in.Bytes(4);
    const auto pad = in.Bytes(6);
    if (!magic || *magic != 0x00BF || !tag || *tag != "TCSO" || !pad) {
        sol.error = "not a Flash save (no 00 BF ... TCSO header)";
        return sol;
    }
    const auto nameLength = in.Unsigned(2);
    const auto name = nameLength ? in.Bytes(*nameLength) : std::nullopt;
    const auto version = name ? in.Unsigned(4) : std::nullopt;
    if (!version) {
        sol.error = in.why();
        sol.stoppedAt = in.failedAt();
        return sol;
    }
    sol.isSol = true;
    sol.name = std::string(*name);
    sol.amfVersion = static_cast<std::uint32_t>(*version);
    if (*version != 0 && *version != 3) {
        sol.error = "AMF version " + std::to_string(*version) + ", which saves are not written in";
        sol.stoppedAt = in.offset() - 4;
        return sol;
    }
    // The length field is often wrong in saves that work; the file's end ends the values.
    (void)length;
    amf::Reader reader(in);
    while (in.left() > 0 && reader.Pair(sol.amfVersion, sol.values)) {
    }
    if (in.failed()) {
        sol.error = in.why();
        sol.stoppedAt = in.failedAt();
    }
    return sol;
}

}  // namespace pellimor
