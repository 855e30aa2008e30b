// The .reg hive parser on any text: no crash; what parses is written back byte for byte,
// reads back the same, and adding a key and a value changes exactly those.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/HiveFile.h"

namespace {

bool BlankOnly(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pellimor;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto hive = HiveFile::Parse(text);
    if (!hive) {
        return 0;
    }
    if (hive->Serialize() != text && !BlankOnly(text)) {
        std::abort();  // a line was not kept as written
    }
    const HiveContents before = hive->Contents();
    const auto again = HiveFile::Parse(hive->Serialize());
    if (!again || again->Contents() != before) {
        std::abort();
    }
    HiveFile copy = *hive;
    const RegistryValue value{kRegSz, "/x\"y\\z\nw"};
    if (copy.AddKey("Software\\Tavrik\\Pellimor") != kStatusSuccess ||
        copy.SetValue("Software\\Tavrik\\Pellimor", "SavePath", value) != kStatusSuccess) {
        std::abort();
    }
    HiveContents expected = before;
    expected["software"];
    expected["software\\tavrik"];
    expected["software\\tavrik\\pellimor"]["savepath"] = value;
    const auto changed = HiveFile::Parse(copy.Serialize());
    if (copy.Contents() != expected || !changed || changed->Contents() != expected) {
        std::abort();
    }
    return 0;
}
