// A recursive file finder: every folder below a root in post-order, root last, then the
// entries of each folder that match a wildcard pattern.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/FileOps.h"

namespace pellimor {

struct FoundFile {
    std::string path;  // folder + "/" + name as listed
    bool isFolder = false;
    std::uint32_t attributes = 0;
    std::uint64_t created = 0;
    std::uint64_t lastWritten = 0;
    std::uint64_t size = 0;
};

// Removes trailing "/" separators (after trailing white space) one at a time.
void StripTrailingSeparators(std::string& path);

// "*" matches any run, "?" one byte; ASCII letters match without regard to case.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

class FolderScanner {
  public:
    explicit FolderScanner(FileOps& files) : files_(files) {}
    virtual ~FolderScanner() = default;

    bool SetRoot(const char* path, bool recurse);
    // Whether FindFiles fills the times, size and read-only bit of each match (it does unless
    // told otherwise); a caller that reads only the paths saves a call per file.
    void SetDetailsWanted(bool wanted) { detailsWanted_ = wanted; }
    bool FindFiles(std::string_view pattern, bool includeFiles, bool includeFolders);
    // SetRoot(path, true) and FindFiles(pattern, true, false) in one walk: every folder is
    // listed once, the results and folders are the same and in the same order.
    void FindFilesBelow(const char* path, std::string_view pattern);

    const std::string& root() const { return root_; }
    const std::vector<std::string>& folders() const { return folders_; }
    const std::vector<FoundFile>& results() const { return results_; }

  private:
    // Lists dir and every folder below it, post-order; each listing goes to found.
    void Walk(const std::string& dir,
              const std::function<void(const std::string&, const std::vector<FolderItem>&)>& found,
              const std::function<bool(std::string_view)>& detailsFor);
    bool SearchFolder(const std::string& folder, std::string_view pattern, bool includeFiles,
                      bool includeFolders);
    void AddMatches(const std::string& base, const std::vector<FolderItem>& items,
                    std::string_view pattern, bool includeFiles, bool includeFolders);

    FileOps& files_;
    std::string root_;
    std::vector<std::string> folders_;
    std::vector<FoundFile> results_;
    bool detailsWanted_ = true;
};

}  // namespace pellimor
