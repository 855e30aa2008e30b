#include "files/SaveFiles.h"

#include "catalogue/MovieSaves.h"
#include "files/NumberedWrite.h"

namespace pellimor {

namespace {

std::string Joined(const std::vector<std::string>& segments, std::size_t from) {
    std::string path;
    for (std::size_t i = from; i < segments.size(); ++i) {
        path += (path.empty() ? "" : "/") + segments[i];
    }
    return path;
}

// Writes bytes at segments, an identical file there kept; the path used, or why not.
WrittenSave Put(ExportFolder& folder, std::vector<std::string> segments, std::string_view bytes,
                std::size_t shownFrom) {
    auto written = WriteNumbered(folder, std::move(segments), BytesProducer(bytes));
    if (!written) {
        return {{}, {}, written.error()};
    }
    return {{}, Joined(written->segments, shownFrom), {}};
}

}  // namespace

std::vector<WrittenSave> ExportMovieSaves(const SwfEntry& movie, const std::string& gameFolder,
                                          const std::vector<FoundSave>& saves, ExportFolder& folder,
                                          std::vector<std::string>& notes) {
    std::vector<WrittenSave> written;
    if (movie.IsLeftover()) {
        return written;
    }
    for (const std::size_t i : SavesOfMovie(saves, movie.url)) {
        const FoundSave& save = saves[i];
        std::vector<std::string> segments{gameFolder, "saves"};
        for (std::string& part : SaveFileSegments(save)) {
            segments.push_back(std::move(part));
        }
        WrittenSave done = Put(folder, std::move(segments), save.bytes, 1);
        done.name = save.name;
        notes.push_back(done.error.empty()
                            ? "Save: " + done.path + " (" + save.name + ", from " + save.file + ")"
                            : "Save not written: " + save.file + " (" + done.error + ")");
        written.push_back(std::move(done));
    }
    return written;
}

std::vector<WrittenSave> ExportPlayedSaves(
    const SwfEntry& movie, const std::string& gameFolder,
    const std::vector<std::pair<std::string, std::string>>& played, ExportFolder& folder,
    std::vector<std::string>& notes) {
    std::vector<WrittenSave> written;
    if (movie.IsLeftover()) {
        return written;
    }
    for (const auto& [key, bytes] : played) {
        auto save = SaveOfRuffleKey(key);
        if (!save || SavesOfMovie({*save}, movie.url).empty()) {
            continue;  // another movie's, or no save's name
        }
        std::vector<std::string> segments{gameFolder, "saves"};
        for (std::string& part : SaveFileSegments(*save)) {
            segments.push_back(std::move(part));
        }
        WrittenSave done = Put(folder, std::move(segments), bytes, 1);
        done.name = save->name;
        notes.push_back(done.error.empty()
                            ? "Save played in Pellimor: " + done.path + " (" + save->name + ")"
                            : "Played save not written: " + save->name + " (" + done.error + ")");
        written.push_back(std::move(done));
    }
    return written;
}

std::vector<WrittenSave> WritePlayedSaves(
    const std::vector<std::pair<std::string, std::string>>& played, ExportFolder& folder) {
    std::vector<WrittenSave> written;
    for (const auto& [key, bytes] : played) {
        const auto save = SaveOfRuffleKey(key);
        if (!save) {
            written.push_back({key, {}, "not the name of a save"});
            continue;
        }
        WrittenSave done = Put(folder, SaveFileSegments(*save), bytes, 0);
        done.name = done.error.empty() ? save->name : key;
        written.push_back(std::move(done));
    }
    return written;
}

}  // namespace pellimor
