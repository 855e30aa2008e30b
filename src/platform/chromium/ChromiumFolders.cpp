#include "platform/chromium/ChromiumFolders.h"

#include <dirent.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

#include "ground/AsciiText.h"
#include "ground/ByteReader.h"
#include "platform/chromium/BlockFileFormat.h"
#include "platform/chromium/SimpleCacheFormat.h"
#include "platform/fileops/ConfinedFile.h"

namespace pellimor {

namespace {

// Entry files looked at before a folder without a simple index is given up.
constexpr int kEntryFilesTried = 8;

std::optional<std::uint64_t> FirstU64(const std::string& path, const std::string& root) {
    auto file = OpenWithin(path, root);
    if (!file || file->size < 8) {
        return std::nullopt;
    }
    std::uint8_t bytes[8] = {};
    if (!ReadFully(file->fd.get(), bytes, sizeof bytes, path)) {
        return std::nullopt;
    }
    return ByteReader(bytes).U64(0);
}

}  // namespace

namespace chromium {

Result<CaseBlindNames> ListCaseBlind(const std::string& folder) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return Fail(folder + ": " + std::strerror(errno));
    }
    CaseBlindNames names;
    while (const dirent* item = ::readdir(dir.get())) {
        std::string name = item->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        names.emplace(LoweredAscii(name), std::move(name));
    }
    return names;
}

std::optional<std::string> FindName(const CaseBlindNames& names, std::string_view lowerName) {
    const auto found = names.find(std::string(lowerName));
    if (found == names.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool IsEntryFileName(std::string_view lowerName, std::string_view suffix) {
    if (lowerName.size() != chromium_simple::kHashDigits + suffix.size() ||
        lowerName.substr(chromium_simple::kHashDigits) != suffix) {
        return false;
    }
    for (std::size_t i = 0; i < chromium_simple::kHashDigits; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(lowerName[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace chromium

bool IsChromiumSimpleCache(const std::string& folder) {
    const auto root = ResolveFolder(folder);
    if (!root) {
        return false;
    }
    // The index under its usual name says it without listing a folder of many files.
    if (FirstU64(*root + "/" + std::string(chromium_blockfile::kIndexName), *root) ==
        chromium_simple::kIndexMagic) {
        return true;
    }
    const auto names = chromium::ListCaseBlind(*root);
    if (!names) {
        return false;
    }
    if (const auto index = chromium::FindName(*names, chromium_blockfile::kIndexName)) {
        if (FirstU64(*root + "/" + *index, *root) == chromium_simple::kIndexMagic) {
            return true;
        }
    }
    int tried = 0;
    for (const auto& [lower, name] : *names) {
        if (!chromium::IsEntryFileName(lower, chromium_simple::kStreams01Suffix)) {
            continue;
        }
        if (FirstU64(*root + "/" + name, *root) == chromium_simple::kInitialMagic) {
            return true;
        }
        if (++tried == kEntryFilesTried) {
            break;
        }
    }
    return false;
}

bool IsChromiumBlockFileCache(const std::string& folder) {
    namespace bf = chromium_blockfile;
    const auto root = ResolveFolder(folder);
    if (!root) {
        return false;
    }
    const auto names = chromium::ListCaseBlind(*root);
    if (!names) {
        return false;
    }
    const auto index = chromium::FindName(*names, bf::kIndexName);
    if (!index) {
        return false;
    }
    const auto first = FirstU64(*root + "/" + *index, *root);
    if (!first) {
        return false;
    }
    const auto magic = static_cast<std::uint32_t>(*first);
    const auto version = static_cast<std::uint32_t>(*first >> 32);
    return magic == bf::kIndexMagic &&
           (version == bf::kVersion2_0 || version == bf::kVersion2_1 || version == bf::kVersion3_0);
}

}  // namespace pellimor
