// What the WebCache database's rows say, checked, without the database: Internet Explorer
// 10/11 and the first Edge keep their cache index in WebCacheV01.dat (an ESE database), and
// the reading of its tables is kept apart (EsedbTables) so that this part can be fuzzed.
//
// Containers: one row per container. ContainerId, Name ("Content" for cached bodies),
// Directory (a Windows path of the machine it came from:
// "C:\Users\ana\AppData\Local\Microsoft\Windows\INetCache\IE\" ), SecureDirectories (the
// container's 8-character folder names written one after another). Container_<ContainerId>: one row
// per entry. EntryId, Url, Filename (the body's file in one of the container's folders),
// SecureDirectory (which folder, counted from 1), FileSize, the FILETIME times ModifiedTime,
// AccessedTime, ExpiryTime, and ResponseHeaders (the response's status line and header lines as
// bytes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/CacheSource.h"

namespace pellimor::webcache {

struct ContainerRow {
    std::int64_t id = 0;
    std::string name;
    std::string directory;
    std::string secureDirectories;
};

struct ContentRow {
    std::int64_t entryId = 0;
    std::optional<std::string> url;
    std::optional<std::string> filename;
    std::optional<std::int64_t> secureDirectory;
    std::optional<std::uint64_t> fileSize;
    std::uint64_t modified = 0;  // FILETIME: 100 ns steps since 1601-01-01 UTC; 0 for none
    std::uint64_t accessed = 0;
    std::uint64_t expiry = 0;
    std::string responseHeaders;
};

// A container that holds cached bodies, its folder under the user folder as names to be
// found without regard to letter case, and its 8-character folders.
struct ContentContainer {
    std::int64_t id = 0;
    std::string_view sourceName;
    std::vector<std::string> relative;  // the folder's names below the user folder
    std::vector<std::string> folders;   // SecureDirectories, in order
    std::string refused;                // why the folder cannot be used; empty when it can
};

// Seconds since 1970 of a FILETIME; nothing for 0 and for times no clock could show.
std::optional<UnixTime> UnixTimeOfFiletime(std::uint64_t filetime);

// The user's name of the Windows user folder ("C:\Users\<name>\") the containers lie in: the
// local user folder's own name where a container names it (letter case aside), else the
// name most containers name; empty when none names a user folder.
std::string WindowsUserName(const std::vector<ContainerRow>& containers,
                            std::string_view localUserName);

// Whether the container holds cached bodies: IE's "Content" containers, and Edge's whose
// folder is its package's "Cache".
bool HoldsBodies(const ContainerRow& row);

// The container when it holds cached bodies (IE's "Content", Edge's caches); nothing for
// history, cookies and the rest.
std::optional<ContentContainer> ContentContainerOf(const ContainerRow& row,
                                                   std::string_view userName);

// The names below the user folder of a Directory in that user folder ("C:\Users\<name>\..."),
// or why it is refused (outside it, "..", a separator or NUL in a name).
Result<std::vector<std::string>> NamesBelowUserFolder(std::string_view directory,
                                                      std::string_view userName);

// Filename as a name in the container's folder, or why it is refused.
Status CheckFileName(std::string_view filename);

// The folder SecureDirectory names, or why it cannot be used.
Result<std::string> FolderOf(const ContentContainer& container, std::optional<std::int64_t> index);

// The entry a row gives before its file is looked at: identity, address, times, size,
// headers, content type; unreadable says why its file may not be looked for.
CacheEntry EntryOfRow(const ContentContainer& container, const ContentRow& row,
                      const std::string& location);

}  // namespace pellimor::webcache
