// The export folder on this machine: opened once, every folder below it opened relative to
// its parent's descriptor without following links, every file created with O_EXCL.
#pragma once

#include <memory>
#include <string>

#include "platform/fileops/ConfinedFile.h"
#include "ports/ExportFolder.h"
#include "ports/Result.h"

namespace pellimor {

class ExportFolderPosix : public ExportFolder {
  public:
    // Creates the folder when it is missing (its parent must exist), then opens it.
    static Result<std::unique_ptr<ExportFolderPosix>> Open(const std::string& path);
    ~ExportFolderPosix() override;
    ExportFolderPosix(const ExportFolderPosix&) = delete;
    ExportFolderPosix& operator=(const ExportFolderPosix&) = delete;

    const std::string& Path() const override { return path_; }
    Status WriteNew(const std::vector<std::string>& segments, std::string_view bytes) override;
    Status WriteNewFrom(const std::vector<std::string>& segments,
                        const std::function<Status(const ByteSink&)>& produce) override;
    bool SameAs(const std::vector<std::string>& segments,
                const std::function<Status(const ByteSink&)>& produce) override;
    Result<std::string> ReadExisting(const std::vector<std::string>& segments,
                                     std::uint64_t limit) override;

  private:
    ExportFolderPosix(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    // The regular file at segments opened for reading, no link followed, with its facts.
    Result<UniqueFd> OpenExisting(const std::vector<std::string>& segments, struct stat& info);

    std::string path_;
    int fd_;
};

}  // namespace pellimor
