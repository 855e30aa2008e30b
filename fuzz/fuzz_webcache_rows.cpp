// What the WebCache source makes of the rows it is given: container folders (Windows paths),
// file names, folder numbers, response headers, on a real folder tree with a FIFO and links
// in it. Nothing may be read outside the tree, nothing may block.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "FuzzFolder.h"
#include "platform/webcache/WebCacheRows.h"
#include "platform/webcache/WebCacheSource.h"

namespace {

const std::string& Tree() {
    static const std::string user = [] {
        const std::string root = pellimor::fuzz::MakeScratchFolder("fuzz_webcache_rows");
        const std::string user = root + "/Users/ana";
        const std::string ie = user + "/AppData/Local/Microsoft/Windows/INetCache/IE";
        for (const std::string& folder :
             {root + "/Users", user, user + "/AppData", user + "/AppData/Local",
              user + "/AppData/Local/Microsoft", user + "/AppData/Local/Microsoft/Windows",
              user + "/AppData/Local/Microsoft/Windows/WebCache",
              user + "/AppData/Local/Microsoft/Windows/INetCache", ie, ie + "/AAAAAAAA",
              root + "/outside"}) {
            ::mkdir(folder.c_str(), 0700);
        }
        pellimor::fuzz::WriteFile(ie + "/AAAAAAAA/a[1].swf", "FWS\x0a\x10\x00\x00\x00");
        pellimor::fuzz::WriteFile(root + "/outside/secret.swf", "FWS\x0a secret");
        ::mkfifo((ie + "/AAAAAAAA/fifo.swf").c_str(), 0600);
        ::symlink("/dev/zero", (ie + "/AAAAAAAA/zero.swf").c_str());
        ::symlink((root + "/outside").c_str(), (ie + "/LINKLINK").c_str());
        return user;
    }();
    return user;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pellimor;
    FuzzedDataProvider input(data, size);
    std::vector<webcache::ContainerRow> containers;
    const int count = input.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < count; ++i) {
        webcache::ContainerRow row;
        row.id = input.ConsumeIntegralInRange<std::int64_t>(-1, 4);
        row.name = input.ConsumeBool() ? "Content" : input.ConsumeRandomLengthString(16);
        row.directory = input.ConsumeBool()
                            ? "C:\\Users\\ana\\AppData\\Local\\Microsoft\\Windows\\INetCache\\IE\\"
                            : input.ConsumeRandomLengthString(128);
        row.secureDirectories =
            input.ConsumeBool() ? "AAAAAAAALINKLINK" : input.ConsumeRandomLengthString(40);
        containers.push_back(std::move(row));
    }
    std::vector<std::pair<std::int64_t, webcache::ContentRow>> rows;
    while (input.remaining_bytes() > 0 && rows.size() < 16) {
        webcache::ContentRow row;
        row.entryId = input.ConsumeIntegral<std::int64_t>();
        if (input.ConsumeBool()) {
            row.url = input.ConsumeRandomLengthString(256);
        }
        if (input.ConsumeBool()) {
            row.filename = input.ConsumeRandomLengthString(64);
        }
        if (input.ConsumeBool()) {
            row.secureDirectory = input.ConsumeIntegral<std::int64_t>();
        }
        if (input.ConsumeBool()) {
            row.fileSize = input.ConsumeIntegral<std::uint64_t>();
        }
        row.modified = input.ConsumeIntegral<std::uint64_t>();
        row.accessed = input.ConsumeIntegral<std::uint64_t>();
        row.expiry = input.ConsumeIntegral<std::uint64_t>();
        row.responseHeaders = input.ConsumeRandomLengthString(512);
        rows.emplace_back(input.ConsumeIntegralInRange<std::int64_t>(-1, 4), std::move(row));
    }
    auto source =
        webcache::WebCacheSource::WithRows(Tree() + "/AppData/Local/Microsoft/Windows/WebCache",
                                           [&](const webcache::TableVisitor& visit) -> Status {
                                               visit.containers(containers);
                                               for (const auto& [id, row] : rows) {
                                                   if (!visit.row(id, row)) {
                                                       break;
                                                   }
                                               }
                                               return Done{};
                                           });
    if (!source.ok()) {
        return 0;
    }
    std::vector<EntryId> ids;
    (void)source.value()->Enumerate([&](const CacheEntry& entry) {
        ids.push_back(entry.id);
        return true;
    });
    for (const EntryId& id : ids) {
        (void)source.value()->ReadBody(id, 1 << 16);
    }
    (void)source.value()->EnumerateLeftovers([](const std::string&) { return true; });
    return 0;
}
