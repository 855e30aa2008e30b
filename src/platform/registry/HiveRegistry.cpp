#include "platform/registry/HiveRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/fileops/AtomicFile.h"
#include "platform/fileops/Paths.h"

namespace pellimor {

namespace {

class FileLock {
  public:
    FileLock(const std::string& path, int operation)
        : fd_(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0) {
            while (::flock(fd_, operation) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_;
};

}  // namespace

std::string DefaultHivePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && *config == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : ".") + "/.config";
    }
    return base + "/Tavrik/hkcu.reg";
}

HiveFile HiveRegistry::Read(bool& corrupt) const {
    corrupt = false;
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        return HiveFile::Empty();
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto hive = HiveFile::Parse(text.str());
    if (!hive) {
        corrupt = true;
        return HiveFile::Empty();
    }
    return *hive;
}

long HiveRegistry::QueryValue(const std::string& key, const std::string& name,
                              RegistryValue& value) {
    FileLock lock(path_, LOCK_SH);
    bool corrupt = false;
    const HiveFile hive = Read(corrupt);
    if (!hive.HasKey(key)) {
        return kStatusFileNotFound;
    }
    const auto found = hive.FindValue(key, name);
    if (!found) {
        return kStatusFileNotFound;
    }
    value = *found;
    return kStatusSuccess;
}

bool HiveRegistry::KeyExists(const std::string& key) {
    FileLock lock(path_, LOCK_SH);
    bool corrupt = false;
    return Read(corrupt).HasKey(key);
}

long HiveRegistry::Change(const std::function<long(HiveFile&)>& change) {
    std::string error;
    MakeFolders(ParentFolder(path_), error);  // a failure shows as the write's own failure
    FileLock lock(path_, LOCK_EX);
    bool corrupt = false;
    HiveFile hive = Read(corrupt);
    const long status = change(hive);
    if (status != kStatusSuccess) {
        return status;
    }
    if (corrupt) {
        const std::string aside = path_ + ".corrupt-" + std::to_string(std::time(nullptr));
        if (::rename(path_.c_str(), aside.c_str()) != 0) {
            return kStatusAccessDenied;
        }
    }
    const std::string text = hive.Serialize();
    const bool written = ReplaceFileAtomically(
        path_, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), nullptr,
        error);
    return written ? kStatusSuccess : kStatusAccessDenied;
}

long HiveRegistry::SetValue(const std::string& key, const std::string& name,
                            const RegistryValue& value) {
    return Change([&](HiveFile& hive) {
        return hive.SetValue(key, name, value) ? kStatusSuccess : kStatusFileNotFound;
    });
}

long HiveRegistry::CreateKey(const std::string& key) {
    return Change([&](HiveFile& hive) {
        hive.AddKey(key);
        return kStatusSuccess;
    });
}

}  // namespace pellimor
