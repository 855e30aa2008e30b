#include "files/PackGame.h"

#include <algorithm>

namespace pellimor {

namespace {

constexpr std::uint64_t kLargestMember = 512ULL << 20;

}  // namespace

Status PackGame(const std::string& folderName, const std::vector<std::string>& paths,
                const std::string& metaFile, ExportFolder& folder, ArchiveFile& archive) {
    for (const std::string& path : paths) {
        if (path != metaFile && path == "meta.yaml") {
            continue;  // an earlier export's, not this one's
        }
        std::vector<std::string> segments{folderName};
        for (std::size_t start = 0; start <= path.size();) {
            const std::size_t slash = std::min(path.find('/', start), path.size());
            segments.push_back(path.substr(start, slash - start));
            start = slash + 1;
        }
        const auto bytes = folder.ReadExisting(segments, kLargestMember);
        if (!bytes) {
            return Fail(folderName + "/" + path + ": cannot be read back from the export folder");
        }
        Status status =
            archive.BeginMember(folderName + "/" + (path == metaFile ? "meta.yaml" : path));
        if (status.ok()) {
            status = archive.Append(*bytes);
        }
        if (status.ok()) {
            status = archive.EndMember();
        }
        if (!status.ok()) {
            return status;
        }
    }
    return archive.Finish();
}

}  // namespace pellimor
