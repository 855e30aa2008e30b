// The preview page's scheme on any address: only the page's parts come out, a Ruffle file is
// always a plain name inside its folder, and no event passes without the page's key.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ui/player/PlayerRequest.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void CheckRequest(const pellimor::PlayerRequest& r, std::string_view key) {
    using Kind = pellimor::PlayerRequestKind;
    switch (r.kind) {
        case Kind::kNotFound:
        case Kind::kOptions:
            Check(r.name.empty() && r.value.empty() && r.fields.empty());
            break;
        case Kind::kPageFile:
            Check(r.name == "index.html" || r.name == "player.js");
            Check(r.value.empty() && r.fields.empty());
            break;
        case Kind::kRuffleFile:
            Check(!r.name.empty() && r.name.find('/') == std::string::npos &&
                  r.name.find('\\') == std::string::npos &&
                  r.name.find("..") == std::string::npos && r.name.front() != '.' &&
                  r.name.find('\0') == std::string::npos);
            Check(r.value.empty() && r.fields.empty());
            break;
        case Kind::kCache:
        case Kind::kFile:
            Check(r.name.empty() && !r.value.empty() && r.fields.empty());
            break;
        case Kind::kEvent:
            Check(!key.empty() && pellimor::IsPageEventName(r.name) && r.value.empty());
            for (const auto& field : r.fields) {
                Check(field.first != pellimor::kPageKeyField);
            }
            break;
        default:
            Check(false);  // nothing but the kinds above
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    // The same address with the page's key, and before any page was served.
    const std::string_view key = "0123456789abcdef0123456789abcdef";
    CheckRequest(pellimor::ParsePlayerRequest(url, key), key);
    const auto none = pellimor::ParsePlayerRequest(url, "");
    Check(none.kind != pellimor::PlayerRequestKind::kEvent);
    CheckRequest(none, "");
    return 0;
}
