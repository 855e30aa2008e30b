// Opening a folder or a file with the desktop's default program.
#pragma once

#include <string>

namespace pellimor {

class Shell {
  public:
    virtual ~Shell() = default;
    // Hands the path to the desktop; false when it found no program to open it with.
    virtual bool Open(const std::string& path) = 0;
};

class DesktopShell : public Shell {
  public:
    bool Open(const std::string& path) override;
};

}  // namespace pellimor
