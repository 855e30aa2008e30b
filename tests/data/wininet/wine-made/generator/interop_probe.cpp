// interop_probe: run steps of the real WinINet URL-cache API (under Wine or Windows)
// on a cache that another program wrote, and print one line per step.
//
//   interop_probe STEP URL [STEP URL ...]
//     info URL     GetUrlCacheEntryInfoA      -> "info ok URL\tLOCALFILE" / "info fail URL\tERR"
//     delete URL   DeleteUrlCacheEntryA       -> "delete ok URL" / "delete fail URL\tERR"
//     commit URL   CreateUrlCacheEntryA, write, CommitUrlCacheEntryA of a small movie
//                                             -> "commit ok URL\tLOCALFILE" / "commit fail ..."
//   Exit status: 0 when every step succeeded, 1 otherwise, 2 for a usage error.
//
// Build: build-interop-probe.sh beside this file.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool info(const char *url)
{
    std::vector<char> buf(4096);
    DWORD size = (DWORD)buf.size();
    auto *e = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA *>(buf.data());
    BOOL ok = GetUrlCacheEntryInfoA(url, e, &size);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buf.resize(size);
        e = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA *>(buf.data());
        ok = GetUrlCacheEntryInfoA(url, e, &size);
    }
    if (!ok) {
        printf("info fail %s\t%lu\n", url, GetLastError());
        return false;
    }
    printf("info ok %s\t%s\n", url, e->lpszLocalFileName ? e->lpszLocalFileName : "");
    return true;
}

bool erase(const char *url)
{
    if (!DeleteUrlCacheEntryA(url)) {
        printf("delete fail %s\t%lu\n", url, GetLastError());
        return false;
    }
    printf("delete ok %s\n", url);
    return true;
}

bool commit(const char *url)
{
    static const char movie[] = "FWS\x0a\x14\x00\x00\x00" "committed by wine";
    char local[MAX_PATH] = {};
    if (!CreateUrlCacheEntryA(url, sizeof movie - 1, "swf", local, 0)) {
        printf("commit fail %s\tcreate %lu\n", url, GetLastError());
        return false;
    }
    HANDLE h = CreateFileA(local, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    BOOL wrote = h != INVALID_HANDLE_VALUE &&
                 WriteFile(h, movie, sizeof movie - 1, &written, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    if (!wrote) {
        printf("commit fail %s\twrite %lu\n", url, GetLastError());
        return false;
    }
    const FILETIME zero = {};
    if (!CommitUrlCacheEntryA(url, local, zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0,
                              "swf", nullptr)) {
        printf("commit fail %s\t%lu\n", url, GetLastError());
        return false;
    }
    printf("commit ok %s\t%s\n", url, local);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || argc % 2 == 0) {
        fprintf(stderr, "usage: interop_probe info|delete|commit URL [...]\n");
        return 2;
    }
    bool all = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const char *step = argv[i];
        const char *url = argv[i + 1];
        if (!strcmp(step, "info"))
            all = info(url) && all;
        else if (!strcmp(step, "delete"))
            all = erase(url) && all;
        else if (!strcmp(step, "commit"))
            all = commit(url) && all;
        else {
            fprintf(stderr, "unknown step %s\n", step);
            return 2;
        }
        fflush(stdout);
    }
    return all ? 0 : 1;
}
