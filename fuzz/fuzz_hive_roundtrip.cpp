// Any keys, names and values set in any hive: a change that is taken reads back equal,
// in memory and once written out and parsed again, and touches nothing else; one that is
// refused (a name with a zero byte, a key with a line break) changes nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/HiveFile.h"

namespace {

using namespace pellimor;

const char* const kKeys[] = {"Software", "Software\\Tavrik", "Software\\Tavrik\\Pellimor",
                             "SOFTWARE\\tavrik\\marrowby"};

bool WritableKey(const std::string& key) {
    return !key.empty() && key.find_first_of(std::string("\r\n\0", 3)) == std::string::npos &&
           key.front() != '\\' && key.back() != '\\' && key.find("\\\\") == std::string::npos;
}

void Check(const HiveFile& hive, const HiveContents& model) {
    const auto again = HiveFile::Parse(hive.Serialize());
    if (hive.Contents() != model || !again || again->Contents() != model) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto parsed = HiveFile::Parse(in.ConsumeRandomLengthString(4096));
    HiveFile hive = parsed ? *parsed : HiveFile::Empty();
    HiveContents model = hive.Contents();
    for (int step = 0; step < 16 && in.remaining_bytes() > 0; ++step) {
        const bool addKey = in.ConsumeBool();
        const std::string key = in.ConsumeBool()
                                    ? kKeys[in.ConsumeIntegralInRange<std::size_t>(0, 3)]
                                    : in.ConsumeRandomLengthString(64);
        const std::string folded = hive::Folded(key);
        if (addKey) {
            const long status = hive.AddKey(key);
            if (status != (WritableKey(key) ? kStatusSuccess : kStatusInvalidData)) {
                std::abort();
            }
            if (status == kStatusSuccess) {
                for (std::size_t slash = folded.find('\\'); slash != std::string::npos;
                     slash = folded.find('\\', slash + 1)) {
                    model[folded.substr(0, slash)];
                }
                model[folded];
            }
        } else {
            const std::string name = in.ConsumeRandomLengthString(64);
            RegistryValue value;
            value.type = in.ConsumeBool() ? kRegSz : in.ConsumeIntegral<std::uint32_t>();
            value.data = in.ConsumeRandomLengthString(256);
            const long status = hive.SetValue(key, name, value);
            const long expected = name.find('\0') != std::string::npos ? kStatusInvalidData
                                  : model.count(folded) == 0           ? kStatusFileNotFound
                                                                       : kStatusSuccess;
            if (status != expected) {
                std::abort();
            }
            if (status == kStatusSuccess) {
                model[folded][hive::Folded(name)] = value;
                const auto back = hive.FindValue(key, name);
                if (!back || !(*back == value)) {
                    std::abort();
                }
            }
        }
        Check(hive, model);
    }
    return 0;
}
