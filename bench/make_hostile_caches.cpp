// Writes the caches that once cost a listing gigabytes or minutes, at the sizes they were
// measured at, for /usr/bin/time -v pellimor-cli list --cache DIR/<name>:
//   v1/Cache            Firefox's old map: 40,000 records naming two records of 16 KB keys
//   blockfile/Cache     Chrome's block files: 1,500 entries, long keys in two 1 MB f_ files
//   simple/Cache_Data   Chrome's simple cache: 1,500 names linked to two files of 1 MB keys
//   cache2/cache2       Firefox's cache2: the same
//   cutshort/Cache_Data Chrome's simple cache: 2,000 entry files cut short, 64 MiB of holes each
// Usage: bench_make_hostile_caches DIR
#include <cstdio>
#include <string>

#include "support/HostileCaches.h"
#include "support/TempFolder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_make_hostile_caches DIR\n");
        return 2;
    }
    namespace test = pellimor::test;
    const std::string root = argv[1];
    const auto folder = [&root](const std::string& name) {
        test::MakeFolders(root + "/" + name);
        return root + "/" + name;
    };
    const std::string shortKeys[2] = {test::LongAddress('a', 16000), test::LongAddress('b', 16000)};
    const std::string longKeys[2] = {test::LongAddress('a', 1000000),
                                     test::LongAddress('b', 1000000)};
    test::MakeSharedRecordsV1(folder("v1/Cache"), 40000, shortKeys);
    test::MakeSharedKeysBlockFiles(folder("blockfile/Cache"), 1500, longKeys);
    test::MakeLinkedSimple(folder("simple/Cache_Data"), 1500, longKeys);
    test::MakeLinkedCache2(folder("cache2/cache2"), 1500, longKeys);
    test::MakeCutShortSimple(folder("cutshort/Cache_Data"), 2000, 64u << 20);
    std::printf("%s\n", root.c_str());
    return 0;
}
