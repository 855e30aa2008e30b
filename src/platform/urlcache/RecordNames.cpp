#include "platform/urlcache/RecordNames.h"

#include <vector>

#include "platform/fileops/Paths.h"
#include "platform/urlcache/CodePage.h"
#include "platform/urlcache/IndexDatFormat.h"

namespace pellimor {

namespace {

bool IsSafeName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
           name.find("..") == std::string_view::npos;
}

}  // namespace

void DecodeUrlInto(std::string_view stored, int codePage, std::string& url) {
    // Addresses written through the wide API are stored as UTF-8.
    if (IsValidUtf8(stored)) {
        url.assign(stored);
    } else if (auto decoded = DecodeCodePage(stored, codePage)) {
        url = std::move(*decoded);
    } else {
        url.assign(stored);
    }
}

std::string DecodeUrl(std::string_view stored, int codePage) {
    std::string url;
    DecodeUrlInto(stored, codePage, url);
    return url;
}

bool LocalPathInto(const indexdat::ContainerView& view, const indexdat::RawUrlRecord& record,
                   const std::string& folder, int codePage, std::string& path) {
    if (!record.fileName || !IsSafeName(*record.fileName)) {
        return false;
    }
    path.assign(folder);
    path += '/';
    if (record.subfolder != indexdat::kNoSubfolder) {
        const auto& subfolders = view.header().subfolders;
        if (record.subfolder >= subfolders.size() ||
            !IsSafeName(subfolders[record.subfolder].name)) {
            return false;
        }
        path += subfolders[record.subfolder].name;
        path += '/';
    }
    const std::string_view raw = *record.fileName;
    if (IsAscii(raw)) {
        path += raw;
        return true;
    }
    // The name on disk may have been written in another encoding than the index's.
    const std::size_t base = path.size();
    std::vector<std::string> candidates;
    const auto add = [&candidates](std::optional<std::string> name) {
        if (name) {
            candidates.push_back(std::move(*name));
        }
    };
    add(DecodeCodePage(raw, codePage));
    if (IsValidUtf8(raw)) {
        add(std::string(raw));
    }
    add(std::string(raw));
    for (int other = 1250; other <= 1258; ++other) {
        add(DecodeCodePage(raw, other));
    }
    // A code page can turn bytes that are no separator into one: names are judged as decoded.
    std::erase_if(candidates, [](const std::string& name) { return !IsSafeName(name); });
    if (candidates.empty()) {
        return false;
    }
    for (const std::string& name : candidates) {
        path.resize(base);
        path += name;
        if (IsFile(path)) {
            return true;
        }
    }
    path.resize(base);
    path += candidates.front();
    return true;
}

std::optional<std::string> LocalPathOf(const indexdat::ContainerView& view,
                                       const indexdat::RawUrlRecord& record,
                                       const std::string& folder, int codePage) {
    std::string path;
    if (!LocalPathInto(view, record, folder, codePage, path)) {
        return std::nullopt;
    }
    return path;
}

}  // namespace pellimor
