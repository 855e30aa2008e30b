// The .reg hive parser on any text: no crash; what parses serialises and parses again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/HiveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto hive = pellimor::HiveFile::Parse(text);
    if (!hive) {
        return 0;
    }
    auto copy = *hive;
    copy.AddKey("Software\\Tavrik\\Pellimor");
    copy.SetValue("Software\\Tavrik\\Pellimor", "SavePath", {pellimor::kRegSz, "/x\"y\\z"});
    const auto again = pellimor::HiveFile::Parse(copy.Serialize());
    if (!again) {
        std::abort();
    }
    const auto value = again->FindValue("Software\\Tavrik\\Pellimor", "SavePath");
    if (!value || value->data != "/x\"y\\z") {
        std::abort();
    }
    return 0;
}
