#include "app/SwfReachMovie.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace pellimor {

namespace {

std::string U16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string U32(std::uint32_t v) {
    return U16(v & 0xFFFF) + U16(v >> 16);
}

std::string Tag(int code, const std::string& body) {
    if (body.size() < 63) {
        return U16(static_cast<std::uint32_t>(code << 6 | static_cast<int>(body.size()))) + body;
    }
    return U16(static_cast<std::uint32_t>(code << 6 | 0x3F)) +
           U32(static_cast<std::uint32_t>(body.size())) + body;
}

// The stage, 0..w by 0..h twips: a 5-bit field width, then four fields of that width.
std::string StageRect(std::uint32_t w, std::uint32_t h) {
    constexpr int kWidth = 16;
    std::vector<bool> bits;
    const auto put = [&bits](std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            bits.push_back(((value >> i) & 1) != 0);
        }
    };
    put(kWidth, 5);
    for (const std::uint32_t v : {0u, w, 0u, h}) {
        put(v, kWidth);
    }
    while (bits.size() % 8 != 0) {
        bits.push_back(false);
    }
    std::string out;
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        std::uint8_t byte = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            byte = static_cast<std::uint8_t>(byte << 1 | (bits[i + j] ? 1 : 0));
        }
        out += static_cast<char>(byte);
    }
    return out;
}

// AVM1 actions.
std::string PushStrings(std::initializer_list<std::string> texts) {
    std::string body;
    for (const std::string& t : texts) {
        body += '\x00' + t + '\0';
    }
    return '\x96' + U16(static_cast<std::uint32_t>(body.size())) + body;
}
std::string PushInt(std::int32_t value) {
    return '\x96' + U16(5) + '\x07' + U32(static_cast<std::uint32_t>(value));
}
std::string GetUrl(const std::string& url, const std::string& target) {
    const std::string body = url + '\0' + target + '\0';
    return '\x83' + U16(static_cast<std::uint32_t>(body.size())) + body;
}
constexpr char kSetVariable = '\x1D';
constexpr char kGetVariable = '\x1C';
constexpr char kGetMember = '\x4E';
constexpr char kNewObject = '\x40';
constexpr char kCallMethod = '\x52';
constexpr char kPop = '\x17';

// name = new Class();
std::string NewObject(const std::string& name, const std::string& type) {
    return PushStrings({name}) + PushInt(0) + PushStrings({type}) + kNewObject + kSetVariable;
}
// name.method(argument), the result dropped.
std::string CallWithText(const std::string& name, const std::string& method,
                         const std::string& argument) {
    return PushStrings({argument}) + PushInt(1) + PushStrings({name}) + kGetVariable +
           PushStrings({method}) + kCallMethod + kPop;
}

}  // namespace

std::string MakeSwfReachMovie(const std::string& host, int port, const std::string& script) {
    const std::string base = "http://" + host + ":" + std::to_string(port) + "/";
    const std::string function = "(function () {" + script + "})";
    std::string actions;
    actions += GetUrl(base + "geturl", "_self");
    actions += GetUrl(base + "popup", "_blank");
    actions += GetUrl(base + "loadmovie.swf", "_level1");  // loadMovieNum
    actions += PushStrings({base + "loadvariables", "_level0"}) + '\x9A' + U16(1) + '\x80';
    actions += NewObject("socket", "XMLSocket");
    actions += PushInt(port) + PushStrings({host}) + PushInt(2) + PushStrings({"socket"}) +
               kGetVariable + PushStrings({"connect"}) + kCallMethod + kPop;
    actions += NewObject("vars", "LoadVars");
    actions += CallWithText("vars", "load", base + "loadvars");
    actions += NewObject("xml", "XML");
    actions += CallWithText("xml", "load", base + "xml");
    // flash.external.ExternalInterface.call(function): the page runs it.
    actions += PushStrings({function}) + PushInt(1) + PushStrings({"flash"}) + kGetVariable +
               PushStrings({"external"}) + kGetMember + PushStrings({"ExternalInterface"}) +
               kGetMember + PushStrings({"call"}) + kCallMethod + kPop;
    actions += GetUrl("javascript:" + function + "()", "_self");
    actions += '\x00';

    std::string tags;
    tags += Tag(9, "\xEE\xEE\xEE");  // background
    tags += Tag(12, actions);
    tags += Tag(1, "");
    tags += Tag(0, "");
    const std::string body = StageRect(400 * 20, 300 * 20) + U16(24 << 8) + U16(1) + tags;
    return std::string("FWS") + '\x08' + U32(static_cast<std::uint32_t>(8 + body.size())) + body;
}

}  // namespace pellimor
