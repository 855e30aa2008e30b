#include "platform/registry/HiveRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/fileops/AtomicFile.h"
#include "platform/fileops/Paths.h"
#include "platform/registry/HiveDisk.h"

namespace pellimor {

namespace {

class FileLock {
  public:
    FileLock(const std::string& path, int operation)
        : fd_(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY,
                     0600)) {
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

long HiveRegistry::Load(const std::string& file, bool noFollow, HiveFile& hive) {
    std::string text;
    bool exists = false;
    const HiveDiskResult read = ReadHiveText(file, noFollow, text, exists);
    if (read.status != kStatusSuccess) {
        problem_ = read.problem;
        return read.status;
    }
    if (!exists) {
        hive = HiveFile::Empty();
        return kStatusSuccess;
    }
    auto parsed = HiveFile::Parse(text);
    if (!parsed) {
        problem_ = "the settings file " + file + " " + parsed.error() + "; it is left as it is";
        return kStatusInvalidData;
    }
    hive = std::move(*parsed);
    return kStatusSuccess;
}

long HiveRegistry::QueryValue(const std::string& key, const std::string& name,
                              RegistryValue& value) {
    problem_.clear();
    FileLock lock(path_, LOCK_SH);
    HiveFile hive;
    if (const long status = Load(path_, false, hive); status != kStatusSuccess) {
        return status;
    }
    const auto found = hive.FindValue(key, name);
    if (!found) {
        return kStatusFileNotFound;
    }
    value = *found;
    return kStatusSuccess;
}

bool HiveRegistry::KeyExists(const std::string& key) {
    problem_.clear();
    FileLock lock(path_, LOCK_SH);
    HiveFile hive;
    return Load(path_, false, hive) == kStatusSuccess && hive.HasKey(key);
}

long HiveRegistry::Change(const std::function<long(HiveFile&)>& change) {
    problem_.clear();
    (void)MakeFolders(ParentFolder(path_));  // a failure shows as the write's own failure
    FileLock lock(path_, LOCK_EX);
    std::string file;
    const HiveDiskResult located = LocateHive(path_, file);
    if (located.status != kStatusSuccess) {
        problem_ = located.problem;
        return located.status;
    }
    HiveFile hive;
    if (const long status = Load(file, true, hive); status != kStatusSuccess) {
        return status;
    }
    if (const long status = change(hive); status != kStatusSuccess) {
        if (status == kStatusInvalidData) {
            problem_ = "the name or key cannot be written as registry text";
        }
        return status;
    }
    const std::string text = hive.Serialize();
    const HiveContents expected = hive.Contents();
    // What is renamed into place must read back as exactly what was meant.
    const auto verify = [&expected](const std::string& written) -> Status {
        std::string back;
        bool exists = false;
        const HiveDiskResult read = ReadHiveText(written, true, back, exists);
        if (read.status != kStatusSuccess) {
            return Fail(read.problem);
        }
        const auto parsed = HiveFile::Parse(back);
        if (!parsed || parsed->Contents() != expected) {
            return Fail("it does not read back as written");
        }
        return Done{};
    };
    if (const Status written = ReplaceFileAtomically(
            file, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
            verify);
        !written) {
        problem_ = "cannot write the settings file: " + written.error();
        return kStatusAccessDenied;
    }
    return kStatusSuccess;
}

long HiveRegistry::SetValue(const std::string& key, const std::string& name,
                            const RegistryValue& value) {
    return Change([&](HiveFile& hive) { return hive.SetValue(key, name, value); });
}

long HiveRegistry::CreateKey(const std::string& key) {
    return Change([&](HiveFile& hive) { return hive.AddKey(key); });
}

}  // namespace pellimor
