// Makes a browser profile's URL cache from nothing: a content container with its four
// sub-folders and files, a cookie container and a history container, named and laid out
// the way the platform's cache library lays them out. For the demo cache, the tests and
// the benchmarks.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/urlcache/ContainerImage.h"
#include "ports/Result.h"

namespace pellimor {

struct ContentEntry {
    std::string url;
    std::string body;       // the cached file's bytes
    std::string extension;  // "swf"; empty for a file without one
    std::uint64_t lastModified = 0;
    std::uint64_t lastAccess = 0;
    std::string headers;
    std::uint32_t entryType = 1;
    std::optional<std::string> nameBase;  // the file name before "[n]"; from the URL when empty
};

class CacheProfileWriter {
  public:
    // windowsFolder stands for AppData/Local/Microsoft/Windows; the cache folder is its
    // INetCache. The seed makes the sub-folder names; contentPath is the content container's
    // folder below INetCache ("Low/Content.IE5" for protected mode's).
    CacheProfileWriter(std::string windowsFolder, indexdat::Flavour flavour, std::uint32_t seed,
                       std::string contentPath = "Content.IE5");

    std::string cacheFolder() const { return windows_ + "/INetCache"; }
    std::string contentFolder() const { return cacheFolder() + "/" + contentPath_; }

    // Writes the cached file and adds its record; the full path of the file.
    Result<std::string> AddContent(const ContentEntry& entry);
    Status AddCookie(const std::string& url, const std::string& text, std::uint64_t lastModified);
    Status AddHistory(const std::string& url, std::uint64_t lastModified);

    // Writes the content container, and the cookie and history containers when they have
    // entries.
    Status Save();

  private:
    std::string windows_;
    std::string contentPath_;
    std::vector<std::string> subfolders_;
    indexdat::ContainerImage content_;
    indexdat::ContainerImage cookies_;
    indexdat::ContainerImage history_;
    std::map<std::string, std::set<std::string>> namesInFolder_;
    std::uint32_t added_ = 0;
    bool hasCookies_ = false;
    bool hasHistory_ = false;
};

// A cached file's name: base + "[n]." + extension with the first free n from 1.
std::string NextFreeCacheName(const std::string& base, const std::string& extension,
                              const std::set<std::string>& taken);

}  // namespace pellimor
