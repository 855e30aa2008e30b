// A cached file's name and sub-folder as any bytes, decoded from every code page the program
// accepts: the local path is either refused or lies in the container's folder, one level
// down at most, with no separator or ".." step made by the decoding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/urlcache/CodePage.h"
#include "platform/urlcache/ContainerImage.h"
#include "platform/urlcache/IndexDatCache.h"
#include "platform/urlcache/RecordNames.h"

namespace {

constexpr int kCodePages[] = {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,
                              437,  850,  874,  932,  936,  949,  950,  65001};
const std::string kFolder = "/cache/Content.IE5";

bool IsPlainStep(std::string_view step) {
    return !step.empty() && step != "." && step != ".." && step.find('\\') == step.npos &&
           step.find("..") == step.npos && step.find('\0') == step.npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 10) {
        return 0;
    }
    const int codePage = kCodePages[data[0] % std::size(kCodePages)];
    if (!pellimor::CodePageKeepsAscii(codePage)) {
        std::abort();  // every code page in the list must be accepted
    }
    const std::string folderName(reinterpret_cast<const char*>(data + 1), 8);
    const std::string_view name(reinterpret_cast<const char*>(data + 9), size - 9);
    auto image = pellimor::indexdat::ContainerImage::CreateEmpty(
        pellimor::indexdat::Flavour::kInternetExplorer, {folderName}, 1 << 20);
    const auto view = image.View();
    pellimor::indexdat::RawUrlRecord record;
    record.fileName = name;
    record.subfolder = static_cast<std::uint8_t>(data[1] & 1 ? 0 : 0xFE);
    const auto path = pellimor::LocalPathOf(view, record, kFolder, codePage);
    if (!path) {
        return 0;
    }
    if (path->rfind(kFolder + "/", 0) != 0) {
        std::abort();
    }
    std::string_view rest = std::string_view(*path).substr(kFolder.size() + 1);
    const auto slash = rest.find('/');
    if (slash != rest.npos) {
        if (!IsPlainStep(rest.substr(0, slash))) {
            std::abort();
        }
        rest = rest.substr(slash + 1);
    }
    if (!IsPlainStep(rest) || rest.find('/') != rest.npos) {
        std::abort();
    }
    return 0;
}
