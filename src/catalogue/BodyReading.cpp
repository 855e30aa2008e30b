#include "catalogue/BodyReading.h"

#include <algorithm>

namespace pellimor {

Result<StreamedBody> StreamBodyOf(CacheSource* cache, FileOps& files, const CachedFile& file,
                                  std::uint64_t limit, const ByteSink& sink) {
    if (!file.localPath.empty()) {
        bool stopped = false;
        Result<std::uint64_t> read =
            files.StreamFile(file.localPath, limit, [&](std::string_view piece) {
                stopped = !sink(piece);
                return !stopped;
            });
        if (!read) {
            return Failure{read.error()};
        }
        return StreamedBody{*read, false, stopped};
    }
    if (cache == nullptr) {
        return Fail("no cache to read the body from");
    }
    return cache->StreamBody(file.id, limit, sink);
}

Result<BodyStart> ReadBodyStart(CacheSource* cache, FileOps& files, const CachedFile& file,
                                std::uint64_t most) {
    BodyStart start;
    Result<StreamedBody> read =
        StreamBodyOf(cache, files, file, kLargestMovieBody, [&](std::string_view piece) {
            const std::size_t room = static_cast<std::size_t>(most - start.bytes.size());
            start.bytes.append(piece.substr(0, room));
            if (piece.size() > room) {
                start.whole = false;
                return false;
            }
            return true;
        });
    if (!read) {
        return Failure{read.error()};
    }
    start.truncated = read->truncated;
    return start;
}

}  // namespace pellimor
