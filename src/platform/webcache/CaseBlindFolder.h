// Folders of a copied Windows disk, walked by descriptor: Windows finds names without regard
// to letter case, and a disk copied through another system may have changed it (a FAT copy
// shows "APPDATA"). Nothing here follows a link: every step opens the name found with
// O_NOFOLLOW under the folder before it, so a link, a FIFO or a device in the cache leads
// nowhere.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/fileops/ConfinedFile.h"
#include "ports/Result.h"

namespace pellimor::webcache {

// A folder opened and its names read once, to be found letter case aside.
class CaseBlindFolder {
  public:
    // Opens path (which may pass through links: it is the folder the user gave) as a folder.
    static Result<CaseBlindFolder> Open(const std::string& path);

    const std::string& path() const { return path_; }
    int fd() const { return fd_.get(); }

    // The name in this folder equal to name letter case aside (the exact one first).
    std::optional<std::string> Find(const std::string& name) const;
    // The sub-folder name (letter case aside), not through a link.
    Result<CaseBlindFolder> Sub(const std::string& name) const;
    // The sub-folders along names, one after another.
    Result<CaseBlindFolder> Below(const std::vector<std::string>& names) const;
    // The names of the regular files and others in it, as read (bounded).
    const std::vector<std::string>& names() const { return names_; }

  private:
    CaseBlindFolder(UniqueFd fd, std::string path);

    UniqueFd fd_;
    std::string path_;
    std::vector<std::string> names_;
    std::unordered_map<std::string, std::size_t> lowered_;  // lowered name: index in names_
};

struct OpenedBody {
    UniqueFd fd;  // open for reading
    std::uint64_t size = 0;
    std::string path;
};

// Opens the regular file name (letter case aside) of folder for reading, never following a
// link, never opening a FIFO or a device for reading; error says why not.
Result<OpenedBody> OpenFileIn(const CaseBlindFolder& folder, const std::string& name);

}  // namespace pellimor::webcache
