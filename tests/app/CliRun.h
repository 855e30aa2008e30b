// pellimor-cli run as a user runs it, in a home and settings folder of its own with nothing to
// answer on, and what the terminal's tests compare before and after it ran.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ground/AddressSanitizer.h"
#include "support/TempFolder.h"

namespace pellimor::test {

struct Ran {
    int status = -1;
    std::string out;              // standard output, and standard error unless kept apart
    std::string err;              // standard error when kept apart
    std::uint64_t peakBytes = 0;  // the child's largest resident set (Measured only)
    std::uint64_t readBytes = 0;  // rchar of /proc/<pid>/io: every byte read() gave (Measured)
};

// arguments is a shell line; environment, if any, ends with a space.
inline Ran Cli(const std::string& home, const std::string& arguments, bool errApart = false,
               const std::string& environment = "") {
    Ran ran;
    ran.out = RunCommand(environment + "XDG_CONFIG_HOME='" + home + "/config' HOME='" + home +
                             "' " + PELLIMOR_CLI + " " + arguments +
                             (errApart ? " 2>'" + home + "/stderr'" : " 2>&1") + " </dev/null",
                         ran.status);
    ran.err = errApart ? ReadFile(home + "/stderr") : "";
    return ran;
}

// pellimor-cli as a child of this process, with what the kernel counted of its memory and
// reading; its standard output and error together.
inline Ran Measured(const std::string& home, const std::vector<std::string>& arguments) {
    std::vector<std::string> environment = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config"};
#if PELLIMOR_ADDRESS_SANITIZER
    environment.push_back("ASAN_OPTIONS=quarantine_size_mb=1");  // freed memory is not held
#endif
    std::vector<char*> argv{const_cast<char*>(PELLIMOR_CLI)};
    for (const std::string& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    const std::string outPath = home + "/cli.out";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int none = ::open("/dev/null", O_RDONLY);
        if (fd < 0 || none < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0 || ::dup2(none, 0) < 0) {
            ::_exit(126);
        }
        ::execve(PELLIMOR_CLI, argv.data(), envp.data());
        ::_exit(127);
    }
    Ran ran;
    // The counts of /proc/<pid>/io stay until the child is reaped.
    siginfo_t info{};
    EXPECT_EQ(::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string label;
    for (std::uint64_t value = 0; io >> label >> value;) {
        ran.readBytes = label == "rchar:" ? value : ran.readBytes;
    }
    struct rusage usage {};
    int status = 0;
    EXPECT_EQ(::wait4(pid, &status, 0, &usage), pid);
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ran.peakBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    ran.out = ReadFile(outPath);
    return ran;
}

// A shell line with each key of values replaced by its value in single quotes.
inline std::string Filled(std::string line,
                          const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [key, value] : values) {
        for (auto at = line.find(key); at != std::string::npos; at = line.find(key)) {
            line.replace(at, key.size(), "'" + value + "'");
        }
    }
    return line;
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A fresh demo cache in a temporary folder, with its own settings and home, so that no test
// sees another's saves or the user's own.
class DemoCliTest : public ::testing::Test {
  protected:
    TempFolder temp;
    std::string cache;
    void SetUp() override {
        const Ran demo = Cli(temp.path(), "demo '" + temp.path() + "/profile'");
        ASSERT_EQ(demo.status, 0) << demo.out;
        cache = temp / "profile/INetCache";
    }
    // Standard output and error together, as a user sees them.
    std::string Run(const std::string& arguments, int& status) const {
        const Ran ran = Cli(temp.path(), arguments);
        status = ran.status;
        return ran.out;
    }
    std::string InCache(const std::string& arguments, int& status) const {
        return Run(arguments + " --cache '" + cache + "'", status);
    }
    // The same of a command that must succeed.
    std::string Ok(const std::string& arguments) const {
        int status = -1;
        std::string out = Run(arguments, status);
        EXPECT_EQ(status, 0) << arguments << "\n" << out;
        return out;
    }
    std::string OkInCache(const std::string& arguments) const {
        return Ok(arguments + " --cache '" + cache + "'");
    }
};

inline std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Every file, folder, link or FIFO below folder, by its path there: its type and mode, and
// the bytes of a file or where a link leads. A link is not followed.
inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        const fs::file_status status = item.symlink_status();
        files[item.path().string().substr(folder.size() + 1)] =
            std::to_string(static_cast<int>(status.type())) + " " +
            std::to_string(static_cast<unsigned>(status.permissions())) +
            (fs::is_regular_file(status) ? ":" + ReadFile(item.path())
             : fs::is_symlink(status)    ? "->" + fs::read_symlink(item.path()).string()
                                         : "/");
    }
    return files;
}

// The file a URL cache keeps a movie's body in: the first below folder named stem[N].swf.
inline std::string CachedFile(const std::string& folder, const std::string& stem) {
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = item.path().filename().string();
        if (name.starts_with(stem + "[") && name.ends_with("].swf")) {
            return item.path().string();
        }
    }
    return "";
}

}  // namespace pellimor::test
