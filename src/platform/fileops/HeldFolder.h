// A cache folder held from listing to delete. It is resolved and opened once, its device and
// inode noted, and every later step (opening, removing and renaming files, taking the lock)
// goes relative to that descriptor, each step below it without following a link: a folder
// swapped for a link after the listing leads nowhere else.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/fileops/ConfinedFile.h"
#include "ports/Result.h"

namespace pellimor {

class HeldFolder {
  public:
    // Opens the folder path leads to (links before it resolved, the folder itself opened
    // without following one) and notes what it is.
    static Result<HeldFolder> Open(const std::string& path);

    int fd() const { return fd_.get(); }
    const std::string& path() const { return path_; }          // as given
    const std::string& resolved() const { return resolved_; }  // every link resolved

    // Ok while path still leads to the folder held; otherwise why not: the folder was moved
    // or swapped for something else since it was opened.
    Status StillThere() const;

    // The part of a full path below this folder, in either spelling (as given or resolved);
    // nothing for a path outside it or one with "." or ".." steps.
    std::optional<std::string> Relative(const std::string& fullPath) const;

    // The sub-folder at relative ("" for this one), each step opened without following a link.
    Result<UniqueFd> OpenFolder(std::string_view relative) const;
    // The facts of the file at relative, a link not followed.
    Result<struct stat> Inspect(const std::string& relative) const;
    // Opens the regular file at relative for reading: never a link, a FIFO or a device.
    Result<OpenedFile> OpenFile(const std::string& relative) const;
    // Removes the regular file at relative (never a link or a folder); fullPath names it in
    // messages.
    Status RemoveFile(const std::string& relative, const std::string& fullPath) const;
    // The names in the folder at relative.
    Result<std::vector<std::string>> Names(std::string_view relative = {}) const;

  private:
    HeldFolder(UniqueFd fd, std::string path, std::string resolved, const struct stat& info)
        : fd_(std::move(fd)),
          path_(std::move(path)),
          resolved_(std::move(resolved)),
          device_(info.st_dev),
          inode_(info.st_ino) {}

    // The folder holding relative's last step, and that step's name.
    Result<std::pair<UniqueFd, std::string>> Parent(const std::string& relative) const;

    UniqueFd fd_;
    std::string path_;
    std::string resolved_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace pellimor
