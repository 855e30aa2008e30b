// Makes a cache profile of N SWF entries with their files, for the benchmarks: half in the
// content container, half in protected mode's (one container holds at most about 60,000),
// plus as many leftover SWF files beside them when asked.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/urlcache/CacheWriter.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_make_profile DIR ENTRIES [LEFTOVERS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const long entries = std::atol(argv[2]);
    const long leftovers = argc > 3 ? std::atol(argv[3]) : 0;
    const long perContainer = 50000;
    std::string lastFolder;
    for (long done = 0, part = 0; done < entries; ++part) {
        pellimor::CacheProfileWriter writer(folder, pellimor::indexdat::Flavour::kInternetExplorer,
                                            static_cast<std::uint32_t>(part + 1),
                                            part == 0 ? "Content.IE5" : "Low/Content.IE5");
        const long count = std::min(perContainer, entries - done);
        for (long i = 0; i < count; ++i, ++done) {
            pellimor::ContentEntry e;
            e.url = "http://site" + std::to_string(done % 997) + ".example/flash/game" +
                    std::to_string(done) + ".swf";
            e.body = "FWS\x08" + std::string(static_cast<std::size_t>(100 + done % 900), '\0');
            e.extension = "swf";
            e.lastModified =
                0x01C9EDB4FFE71400ULL + static_cast<std::uint64_t>(done) * 10'000'000ULL;
            if (const auto added = writer.AddContent(e); !added) {
                std::fprintf(stderr, "%s\n", added.error().c_str());
                return 1;
            }
        }
        if (const pellimor::Status saved = writer.Save(); !saved) {
            std::fprintf(stderr, "%s\n", saved.error().c_str());
            return 1;
        }
        lastFolder = writer.contentFolder();
        if (part == 1 || entries <= perContainer) {
            // Leftovers: files in the content folders that no entry names.
            for (long i = 0; i < leftovers; ++i) {
                std::ofstream(lastFolder + "/orphan" + std::to_string(i) + ".swf") << "FWS";
            }
        }
        if (part > 1) {
            std::fprintf(stderr, "more than two containers are not made\n");
            return 1;
        }
    }
    std::printf("%s/INetCache\n", folder.c_str());
    return 0;
}
