#include "cli/MoviePictures.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace pellimor {

namespace {

// The longest a movie is given to show its pictures, the player's start included.
constexpr auto kLongest = std::chrono::seconds(90);

std::string ProgramFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return ".";
    }
    const std::string self(path, static_cast<std::size_t>(length));
    return self.substr(0, self.rfind('/'));
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

Result<MoviePictures> TakeMoviePictures(const ProgramOptions& options, const std::string& url,
                                        int width, int height) {
    const std::string shot = ProgramFolder() + "/pellimor-shot";
    if (access(shot.c_str(), X_OK) != 0) {
        return Fail("pellimor-shot is not installed beside pellimor-cli");
    }
    char folder[] = "/tmp/pellimor-shot-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return Fail(std::string("no temporary folder: ") + std::strerror(errno));
    }
    const std::string logo = std::string(folder) + "/logo.png";
    const std::string ss = std::string(folder) + "/ss.png";
    std::vector<std::string> arguments = {
        shot,     "--url",  url,
        "--logo", logo,     "--ss",
        ss,       "--size", std::to_string(width) + "x" + std::to_string(height)};
    if (options.cacheFolder) {
        arguments.insert(arguments.end(), {"--cache", *options.cacheFolder});
    }
    arguments.insert(arguments.end(), {"--codepage", std::to_string(options.codePage)});
    std::vector<char*> argv;
    for (std::string& a : arguments) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // Offscreen, whatever display the terminal has.
    std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen"};
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0) {
            environment.emplace_back(*e);
        }
    }
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Its chatter stays out of the terminal's lines.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, shot.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    int status = -1;
    if (spawned == 0) {
        const auto until = std::chrono::steady_clock::now() + kLongest;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                status = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    MoviePictures pictures{ReadWhole(logo), ReadWhole(ss)};
    unlink(logo.c_str());
    unlink(ss.c_str());
    rmdir(folder);
    if (spawned != 0) {
        return Fail(std::string("pellimor-shot could not be started: ") + std::strerror(spawned));
    }
    if (status != 0 || pictures.logo.empty() || pictures.screenshot.empty()) {
        return Fail("the movie showed nothing to take a picture of in time");
    }
    return pictures;
}

}  // namespace pellimor
