#include "platform/urlcache/CacheWriter.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>

#include "platform/fileops/AtomicFile.h"
#include "platform/fileops/Paths.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/urlcache/DosTime.h"

namespace pellimor {

namespace {

constexpr std::uint64_t kDefaultLimit = 50ULL * 1024 * 1024;

std::vector<std::string> RandomFolderNames(std::uint32_t seed) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::mt19937 random(seed);
    std::vector<std::string> names;
    while (names.size() < 4) {
        std::string name;
        for (int i = 0; i < 8; ++i) {
            name += kAlphabet[random() % 36];
        }
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    }
    return names;
}

std::uint64_t NowFileTime() {
    return FileTimeFromUnix(std::time(nullptr), 0);
}

// The last path segment of a URL without its query and extension.
std::string BaseFromUrl(const std::string& url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    const auto slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.resize(dot);
    }
    return name.empty() ? "index" : name;
}

Status WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        return Fail("cannot write " + path);
    }
    return Done{};
}

std::uint32_t WriteTimeOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return 0;
    }
    return DosTimeFromFileTime(FileTimeFromUnix(info.st_mtime, 0));
}

Status SaveContainer(const std::string& folder, const indexdat::ContainerImage& image) {
    PELLIMOR_TRY(MakeFolders(folder));
    return ReplaceFileAtomically(folder + "/index.dat", image.bytes(), nullptr);
}

}  // namespace

std::string NextFreeCacheName(const std::string& base, const std::string& extension,
                              const std::set<std::string>& taken) {
    for (unsigned n = 1;; ++n) {
        std::string name =
            base + "[" + std::to_string(n) + "]" + (extension.empty() ? "" : "." + extension);
        if (taken.count(name) == 0) {
            return name;
        }
    }
}

CacheProfileWriter::CacheProfileWriter(std::string windowsFolder, indexdat::Flavour flavour,
                                       std::uint32_t seed, std::string contentPath)
    : windows_(std::move(windowsFolder)),
      contentPath_(std::move(contentPath)),
      subfolders_(RandomFolderNames(seed)),
      content_(indexdat::ContainerImage::CreateEmpty(flavour, subfolders_, kDefaultLimit)),
      cookies_(indexdat::ContainerImage::CreateEmpty(flavour, {}, kDefaultLimit)),
      history_(indexdat::ContainerImage::CreateEmpty(flavour, {}, kDefaultLimit)) {}

Result<std::string> CacheProfileWriter::AddContent(const ContentEntry& entry) {
    const std::uint8_t index = static_cast<std::uint8_t>(added_++ % subfolders_.size());
    const std::string folder = contentFolder() + "/" + subfolders_[index];
    if (namesInFolder_.find(folder) == namesInFolder_.end()) {
        PELLIMOR_TRY(MakeFolders(folder));
    }
    auto& taken = namesInFolder_[folder];
    const std::string name =
        NextFreeCacheName(entry.nameBase.value_or(BaseFromUrl(entry.url)), entry.extension, taken);
    const std::string path = folder + "/" + name;
    PELLIMOR_TRY(WriteWholeFile(path, entry.body));
    taken.insert(name);
    indexdat::NewRecord record;
    record.url = entry.url;
    record.fileName = name;
    record.subfolder = index;
    record.entryType = entry.entryType;
    record.fileSize = entry.body.size();
    record.lastModified = entry.lastModified;
    record.lastAccess = entry.lastAccess != 0 ? entry.lastAccess : NowFileTime();
    record.lastSyncDos = DosTimeFromFileTime(record.lastAccess);
    record.writeTimeDos = WriteTimeOf(path);
    record.headers = entry.headers;
    record.extension = entry.extension;
    if (!content_.AddUrl(record)) {
        return Fail("the content container is full");
    }
    return path;
}

Status CacheProfileWriter::AddCookie(const std::string& url, const std::string& text,
                                     std::uint64_t lastModified) {
    const std::string folder = windows_ + "/INetCookies";
    PELLIMOR_TRY(MakeFolders(folder));
    auto& taken = namesInFolder_[folder];
    const std::string name = NextFreeCacheName("cookie", "txt", taken);
    PELLIMOR_TRY(WriteWholeFile(folder + "/" + name, text));
    taken.insert(name);
    indexdat::NewRecord record;
    record.url = url;
    record.fileName = name;
    record.entryType = 0x00100000;
    record.fileSize = text.size();
    record.lastModified = lastModified;
    record.lastAccess = NowFileTime();
    record.writeTimeDos = WriteTimeOf(folder + "/" + name);
    record.extension = "txt";
    if (!cookies_.AddUrl(record)) {
        return Fail("the cookie container is full");
    }
    hasCookies_ = true;
    return Done{};
}

Status CacheProfileWriter::AddHistory(const std::string& url, std::uint64_t lastModified) {
    indexdat::NewRecord record;
    record.url = url;
    record.entryType = 0x00200001;
    record.lastModified = lastModified;
    record.lastAccess = lastModified;
    if (!history_.AddUrl(record)) {
        return Fail("the history container is full");
    }
    hasHistory_ = true;
    return Done{};
}

Status CacheProfileWriter::Save() {
    for (const std::string& folder : subfolders_) {
        PELLIMOR_TRY(MakeFolders(contentFolder() + "/" + folder));
    }
    PELLIMOR_TRY(SaveContainer(contentFolder(), content_));
    if (hasCookies_) {
        PELLIMOR_TRY(SaveContainer(windows_ + "/INetCookies", cookies_));
    }
    if (hasHistory_) {
        PELLIMOR_TRY(SaveContainer(windows_ + "/History/History.IE5", history_));
    }
    return Done{};
}

}  // namespace pellimor
