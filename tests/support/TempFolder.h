// A real folder under /tmp for one test, removed with everything in it afterwards.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pellimor::test {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
void MakeFolders(const std::string& path);
bool FileExists(const std::string& path);
// Runs a shell command; its standard output, and its exit status in status.
std::string RunCommand(const std::string& command, int& status);
// Runs work in a forked child; its exit status, or 128 + the signal that ended it.
int InChild(const std::function<int()>& work);
// The names in a folder, sorted, without hidden ones (".", "..", dot files).
std::vector<std::string> VisibleNames(const std::string& folder);
// Copies a folder tree (cp -a).
void CopyTree(const std::string& from, const std::string& to);

}  // namespace pellimor::test
