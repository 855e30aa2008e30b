#include "platform/fileops/AtomicFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/Paths.h"

namespace pellimor {

namespace {

constexpr std::string_view kTemporaryInfix = ".pellimor-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryLetters = 12;

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

std::string TemporaryNameOf(const std::string& name) {
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::array<std::uint8_t, kTemporaryLetters> random{};
    if (::getrandom(random.data(), random.size(), 0) != static_cast<ssize_t>(random.size())) {
        // No entropy to be had: the time and the process still make a name nobody else uses.
        const auto seed = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ULL ^
                          static_cast<std::uint64_t>(::time(nullptr));
        for (std::size_t i = 0; i < random.size(); ++i) {
            random[i] = static_cast<std::uint8_t>(seed >> (i * 5));
        }
    }
    std::string temp = name + std::string(kTemporaryInfix);
    for (const std::uint8_t byte : random) {
        temp.push_back(kLetters[byte % kLetters.size()]);
    }
    return temp + std::string(kTemporarySuffix);
}

}  // namespace

bool IsTemporaryNameOf(std::string_view name, std::string_view file) {
    const std::size_t size =
        file.size() + kTemporaryInfix.size() + kTemporaryLetters + kTemporarySuffix.size();
    if (name.size() != size || !name.starts_with(file) ||
        name.substr(file.size(), kTemporaryInfix.size()) != kTemporaryInfix ||
        !name.ends_with(kTemporarySuffix)) {
        return false;
    }
    for (const char c : name.substr(file.size() + kTemporaryInfix.size(), kTemporaryLetters)) {
        if (!std::islower(static_cast<unsigned char>(c)) &&
            !std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

Status ReplaceInFolder(int folderFd, const std::string& folderText, const std::string& name,
                       std::span<const std::uint8_t> bytes,
                       const std::function<Status(int, const std::string&)>& verify) {
    const std::string path = folderText + "/" + name;
    std::string temp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 16 && !fd.valid(); ++attempt) {
        temp = TemporaryNameOf(name);
        fd = UniqueFd(::openat(folderFd, temp.c_str(),
                               O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid() && errno != EEXIST) {
            break;
        }
    }
    if (!fd.valid()) {
        return Fail("cannot create a temporary file beside " + path + ": " + std::strerror(errno));
    }
    const std::string tempPath = folderText + "/" + temp;
    struct stat old {};
    if (::fstatat(folderFd, name.c_str(), &old, 0) == 0) {
        ::fchmod(fd.get(), old.st_mode & 07777);  // keep the file's permissions
    } else {
        ::fchmod(fd.get(), 0644);
    }
    const bool written = WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    const int writeErrno = errno;
    if (!written) {
        ::unlinkat(folderFd, temp.c_str(), 0);
        return Fail("cannot write " + tempPath + ": " + std::strerror(writeErrno));
    }
    if (verify) {
        if (const Status checked = verify(fd.get(), tempPath); !checked) {
            ::unlinkat(folderFd, temp.c_str(), 0);
            return Fail("the new contents of " + path + " failed their check: " + checked.error());
        }
    }
    fd = UniqueFd();
    if (::renameat(folderFd, temp.c_str(), folderFd, name.c_str()) != 0) {
        const std::string reason = "cannot replace " + path + ": " + std::strerror(errno);
        ::unlinkat(folderFd, temp.c_str(), 0);
        return Fail(reason);
    }
    const UniqueFd folder(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) {
        ::fsync(folder.get());
    }
    return Done{};
}

Status ReplaceFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                             const std::function<Status(const std::string&)>& verify) {
    const std::string folderText = ParentFolder(path);
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const UniqueFd folder(::open(folderText.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        return Fail("cannot create a temporary file beside " + path + ": " + std::strerror(errno));
    }
    std::function<Status(int, const std::string&)> verifyByPath;
    if (verify) {
        verifyByPath = [&verify](int, const std::string& written) { return verify(written); };
    }
    return ReplaceInFolder(folder.get(), folderText, name, bytes, verifyByPath);
}

}  // namespace pellimor
