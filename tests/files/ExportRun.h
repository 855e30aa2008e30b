// One game export run on a real cache for the tests: the cache as the program opens it,
// the folder exported into, and meta.yaml read back with Python's yaml.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/Session.h"
#include "catalogue/CacheScan.h"
#include "files/ExportGame.h"
#include "files/GameFiles.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/ExportFolderPosix.h"
#include "support/TempFolder.h"

namespace pellimor::test {

class Export {
  public:
    Export(const std::string& cacheFolder, const std::string& to)
        : session_(Options(cacheFolder)), folder_(ExportFolderPosix::Open(to)) {
        EXPECT_TRUE(folder_.ok()) << folder_.error();
        EXPECT_TRUE(index_.Build(session_.cache(), session_.files()).ok());
    }

    // Every listed movie.
    std::vector<SwfEntry> Movies() {
        std::vector<SwfEntry> all;
        EXPECT_TRUE(session_.cache()
                        .Enumerate([&](const CacheEntry& entry) {
                            if (IsSwfCacheEntry(entry)) {
                                all.push_back(MovieFromEntry(entry));
                            }
                            return true;
                        })
                        .ok());
        return all;
    }
    // The listed movie of this address.
    std::optional<SwfEntry> Movie(const std::string& url) {
        for (SwfEntry& movie : Movies()) {
            if (movie.url == url) {
                return std::move(movie);
            }
        }
        return std::nullopt;
    }

    Result<GameExport> Run(const SwfEntry& movie) {
        ExportServices services{session_.cache(), session_.files(), decompressor_, **folder_};
        return ExportGame(movie, GameFolderName(movie.displayName, names_), index_, services);
    }
    // The addresses the web archive takes for the movie, in its order.
    std::vector<std::string> ArchivedAddresses(const SwfEntry& movie) {
        GameFileServices read{session_.cache(), session_.files(), decompressor_};
        std::vector<std::string> addresses;
        for (const GameFile& f : FindGameFiles(movie, index_, read).files) {
            addresses.push_back(f.address);
        }
        return addresses;
    }
    Result<GameExport> Run(const std::string& url) {
        const auto movie = Movie(url);
        if (!movie) {
            return Fail("no movie at " + url);
        }
        return Run(*movie);
    }

  private:
    static ProgramOptions Options(const std::string& cacheFolder) {
        ProgramOptions o;
        o.cacheFolder = cacheFolder;
        return o;
    }

    Session session_;
    Result<std::unique_ptr<ExportFolderPosix>> folder_;
    ExportIndex index_;
    SwfDecompressor decompressor_;
    std::set<std::string> names_;
};

// A value of meta.yaml as Python's yaml reads it (expression over d, the document), or
// "ERROR ..." when the file is no YAML.
inline std::string Yaml(const std::string& file, const std::string& expression) {
    int status = -1;
    const std::string out = test::RunCommand(
        "python3 -c 'import sys, yaml\n"
        "try:\n"
        "    d = yaml.safe_load(open(sys.argv[1], encoding=\"utf-8\"))\n"
        "except Exception as e:\n"
        "    print(\"ERROR\", e); sys.exit(0)\n"
        "v = " +
            expression +
            "\n"
            "sys.stdout.write(v if isinstance(v, str) else repr(v))' '" +
            file + "' 2>&1",
        status);
    return out;
}

// Every path below folder (links not followed), relative to it.
inline std::set<std::string> Tree(const std::string& folder) {
    std::set<std::string> paths;
    for (auto it = std::filesystem::recursive_directory_iterator(folder);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        paths.insert(std::filesystem::relative(it->path(), folder).string());
    }
    return paths;
}

}  // namespace pellimor::test
