// The export folder on this machine: opened once, every folder below it opened relative to
// its parent's descriptor without following links, every file created with O_EXCL.
#pragma once

#include <memory>
#include <string>

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
    CopyResult WriteNew(const std::vector<std::string>& segments, std::string_view bytes,
                        std::string& why) override;
    CopyResult WriteNewFrom(const std::vector<std::string>& segments,
                            const std::function<Status(const ByteSink&)>& produce,
                            std::string& why) override;
    bool SameAs(const std::vector<std::string>& segments,
                const std::function<Status(const ByteSink&)>& produce) override;
    std::optional<std::string> ReadExisting(const std::vector<std::string>& segments,
                                            std::uint64_t limit) override;

  private:
    ExportFolderPosix(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

    std::string path_;
    int fd_;
};

}  // namespace pellimor
