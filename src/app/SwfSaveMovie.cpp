#include "app/SwfSaveMovie.h"

#include <cstdint>
#include <initializer_list>

namespace pellimor {

namespace {

std::string U16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string U32(std::uint32_t v) {
    return U16(v & 0xFFFF) + U16(v >> 16);
}

std::string Tag(int code, const std::string& body) {
    return U16(static_cast<std::uint32_t>(code << 6 | 0x3F)) +
           U32(static_cast<std::uint32_t>(body.size())) + body;
}

// AVM1 actions.
std::string Push(std::initializer_list<std::string> texts) {
    std::string body;
    for (const std::string& t : texts) {
        body += '\x00' + t + '\0';
    }
    return '\x96' + U16(static_cast<std::uint32_t>(body.size())) + body;
}
std::string PushInt(std::int32_t value) {
    return '\x96' + U16(5) + '\x07' + U32(static_cast<std::uint32_t>(value));
}
constexpr char kGetVariable = '\x1C';
constexpr char kSetVariable = '\x1D';
constexpr char kGetMember = '\x4E';
constexpr char kSetMember = '\x4F';
constexpr char kCallMethod = '\x52';
constexpr char kStringAdd = '\x21';
constexpr char kTrace = '\x26';
constexpr char kPop = '\x17';

// so.data on the stack.
std::string Data() {
    return Push({"so"}) + kGetVariable + Push({"data"}) + kGetMember;
}

}  // namespace

std::string MakeSwfSaveMovie(const SaveMovieDesign& design) {
    std::string a;
    // so = SharedObject.getLocal(name[, localPath]);
    a += Push({"so"});
    if (design.localPath) {
        a += Push({*design.localPath});
    }
    a += Push({design.name}) + PushInt(design.localPath ? 2 : 1) + Push({"SharedObject"}) +
         kGetVariable + Push({"getLocal"}) + kCallMethod + kSetVariable;
    // shown = "pellimor-save " + name + " score=" + so.data.score; trace(shown);
    a += Push({"shown"}) + Push({"pellimor-save " + design.name + " score="}) + Data() +
         Push({"score"}) + kGetMember + kStringAdd + kSetVariable;
    a += Push({"shown"}) + kGetVariable + kTrace;
    // so.data.seen = so.data.score; so.data.score = score;
    a += Data() + Push({"seen"}) + Data() + Push({"score"}) + kGetMember + kSetMember;
    a += Data() + Push({"score"}) + Push({design.score}) + kSetMember;
    // so.flush();
    a += PushInt(0) + Push({"so"}) + kGetVariable + Push({"flush"}) + kCallMethod + kPop;
    a += '\x00';

    std::string tags;
    tags += Tag(9, "\xDD\xEE\xFF");  // background
    // A line across the top bound to "shown", in a device font (no glyphs embedded).
    tags += Tag(48, U16(1) + std::string("\x00\x00", 2) + '\x05' + "_sans" + U16(0) + U16(2));
    std::string text = U16(2) + std::string("\x78\x00\x03\xE8\x00\x00\x02\x58\x00", 9);
    text += static_cast<char>(0x08 | 0x04 | 0x01);  // read-only, colour, font
    text += static_cast<char>(0x20 | 0x10);         // layout, not selectable
    text += U16(1) + U16(180) + std::string("\x20\x20\x20\xFF", 4);
    text += std::string("\x02", 1) + U16(0) + U16(0) + U16(0) + U16(0);  // centred
    text += std::string("shown") + '\0';
    tags += Tag(37, text);
    tags += Tag(26, std::string("\x02", 1) + U16(1) + U16(2));  // PlaceObject2 at depth 1
    tags += Tag(12, a);
    tags += Tag(1, "");
    tags += Tag(0, "");
    // Stage 0..8000 by 0..6000 twips: 15-bit fields.
    const std::string stage("\x78\x00\x03\xE8\x00\x00\x0B\xB8\x00", 9);
    const std::string body = stage + U16(12 << 8) + U16(1) + tags;
    return std::string("FWS") + '\x08' + U32(static_cast<std::uint32_t>(8 + body.size())) + body;
}

}  // namespace pellimor
