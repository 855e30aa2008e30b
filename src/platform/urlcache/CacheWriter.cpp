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

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::uint32_t WriteTimeOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return 0;
    }
    return DosTimeFromFileTime(FileTimeFromUnix(info.st_mtime, 0));
}

bool SaveContainer(const std::string& folder, const indexdat::ContainerImage& image,
                   std::string& error) {
    if (!MakeFolders(folder, error)) {
        return false;
    }
    return ReplaceFileAtomically(folder + "/index.dat", image.bytes(), nullptr, error);
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

std::optional<std::string> CacheProfileWriter::AddContent(const ContentEntry& entry,
                                                          std::string& error) {
    const std::uint8_t index = static_cast<std::uint8_t>(added_++ % subfolders_.size());
    const std::string folder = contentFolder() + "/" + subfolders_[index];
    if (namesInFolder_.find(folder) == namesInFolder_.end() && !MakeFolders(folder, error)) {
        return std::nullopt;
    }
    auto& taken = namesInFolder_[folder];
    const std::string name =
        NextFreeCacheName(entry.nameBase.value_or(BaseFromUrl(entry.url)), entry.extension, taken);
    const std::string path = folder + "/" + name;
    if (!WriteWholeFile(path, entry.body, error)) {
        return std::nullopt;
    }
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
        error = "the content container is full";
        return std::nullopt;
    }
    return path;
}

bool CacheProfileWriter::AddCookie(const std::string& url, const std::string& text,
                                   std::uint64_t lastModified, std::string& error) {
    const std::string folder = windows_ + "/INetCookies";
    if (!MakeFolders(folder, error)) {
        return false;
    }
    auto& taken = namesInFolder_[folder];
    const std::string name = NextFreeCacheName("cookie", "txt", taken);
    if (!WriteWholeFile(folder + "/" + name, text, error)) {
        return false;
    }
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
        error = "the cookie container is full";
        return false;
    }
    hasCookies_ = true;
    return true;
}

bool CacheProfileWriter::AddHistory(const std::string& url, std::uint64_t lastModified,
                                    std::string& error) {
    indexdat::NewRecord record;
    record.url = url;
    record.entryType = 0x00200001;
    record.lastModified = lastModified;
    record.lastAccess = lastModified;
    if (!history_.AddUrl(record)) {
        error = "the history container is full";
        return false;
    }
    hasHistory_ = true;
    return true;
}

bool CacheProfileWriter::Save(std::string& error) {
    for (const std::string& folder : subfolders_) {
        if (!MakeFolders(contentFolder() + "/" + folder, error)) {
            return false;
        }
    }
    return SaveContainer(contentFolder(), content_, error) &&
           (!hasCookies_ || SaveContainer(windows_ + "/INetCookies", cookies_, error)) &&
           (!hasHistory_ || SaveContainer(windows_ + "/History/History.IE5", history_, error));
}

}  // namespace pellimor
