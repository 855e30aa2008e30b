#include "catalogue/MovieSaves.h"

#include <algorithm>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

std::vector<std::string> Segments(std::string_view path) {
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start) {
            segments.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return segments;
}

// A part that can name a file or folder of its own below another.
bool Nameable(std::string_view part) {
    return !part.empty() && part != "." && part != ".." &&
           part.find('\0') == std::string_view::npos && part.find('/') == std::string_view::npos;
}

}  // namespace

std::optional<SaveScope> SaveScopeOf(std::string_view address) {
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string scheme = LoweredAscii(address.substr(0, colon));
    std::string_view rest = address.substr(colon + 1);
    rest = rest.substr(0, std::min(rest.find('?'), rest.find('#')));
    if (rest.substr(0, 2) != "//") {
        return std::nullopt;
    }
    rest.remove_prefix(2);
    const std::size_t slash = std::min(rest.find('/'), rest.size());
    std::string_view authority = rest.substr(0, slash);
    const std::string_view path = rest.substr(slash);
    SaveScope scope;
    scope.path = Segments(path);
    if (scheme == "file") {
        // Flash Player and Ruffle keep a file's saves under "localhost", the path without
        // its drive letter.
        scope.host = "localhost";
        if (!scope.path.empty() && scope.path.front().size() == 2 && scope.path.front()[1] == ':') {
            scope.path.erase(scope.path.begin());
        }
        return scope;
    }
    authority = authority.substr(authority.rfind('@') + 1);
    if (!authority.empty() && authority.front() == '[') {
        authority = authority.substr(0, authority.find(']') + 1);
    } else {
        authority = authority.substr(0, authority.find(':'));
    }
    if (authority.empty()) {
        return std::nullopt;
    }
    scope.host = LoweredAscii(authority);
    return scope;
}

bool SaveBelongsTo(const FoundSave& save, const SaveScope& movie) {
    return LoweredAscii(save.host) == movie.host && save.path.size() <= movie.path.size() &&
           std::equal(save.path.begin(), save.path.end(), movie.path.begin());
}

std::vector<std::size_t> SavesOfMovie(const std::vector<FoundSave>& saves,
                                      std::string_view movieAddress) {
    std::vector<std::size_t> found;
    const auto scope = SaveScopeOf(movieAddress);
    if (!scope) {
        return found;
    }
    for (std::size_t i = 0; i < saves.size(); ++i) {
        if (SaveBelongsTo(saves[i], *scope)) {
            found.push_back(i);
        }
    }
    return found;
}

std::vector<std::size_t> SavesOfFile(const std::vector<FoundSave>& saves,
                                     std::string_view localPath) {
    const std::vector<std::string> file = Segments(localPath);
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < saves.size(); ++i) {
        const std::vector<std::string>& path = saves[i].path;
        const bool own = !path.empty() && path.size() <= file.size() &&
                         std::equal(path.rbegin(), path.rend(), file.rbegin());
        if (LoweredAscii(saves[i].host) == "localhost" && (path.empty() || own)) {
            found.push_back(i);
        }
    }
    return found;
}

std::string SavePathText(const FoundSave& save) {
    std::string text;
    for (const std::string& folder : save.path) {
        text += "/" + folder;
    }
    return text.empty() ? "/" : text;
}

std::string RuffleStorageKey(const FoundSave& save) {
    std::string key = save.host + "/";
    for (std::size_t i = 0; i < save.path.size(); ++i) {
        key += (i == 0 ? "" : "/") + save.path[i];
    }
    key += "/";
    if (save.name.find('/') != std::string::npos) {
        key += "#";
    }
    return key + save.name;
}

std::string RuffleStorageKeyAt(const FoundSave& save, std::string_view playedAddress) {
    const auto played = SaveScopeOf(playedAddress);
    if (!played || played->host == LoweredAscii(save.host)) {
        return RuffleStorageKey(save);
    }
    FoundSave asked = save;
    asked.host = played->host;
    if (!asked.path.empty()) {
        asked.path = played->path;
    }
    return RuffleStorageKey(asked);
}

std::string FileSaveKeyOf(std::string_view key, std::string_view playedAddress,
                          std::string_view localPath) {
    const auto played = SaveScopeOf(playedAddress);
    auto save = SaveOfRuffleKey(key);
    if (!played || !save || LoweredAscii(save->host) != played->host) {
        return std::string(key);
    }
    save->host = "localhost";
    if (!save->path.empty()) {
        // From below the last folder a save's path cannot hold (".wine" of a Wine prefix).
        save->path = Segments(localPath);
        const auto hidden = std::find_if(save->path.rbegin(), save->path.rend(),
                                         [](const std::string& part) { return part[0] == '.'; });
        save->path.erase(save->path.begin(), hidden.base());
    }
    return RuffleStorageKey(*save);
}

std::optional<FoundSave> SaveOfRuffleKey(std::string_view key) {
    std::vector<std::string> parts = Segments(key);
    if (parts.size() < 2) {
        return std::nullopt;
    }
    // Ruffle makes no save with a part that starts with "." (nor Flash Player): such a key
    // was not written by the player.
    for (const std::string& part : parts) {
        if (part[part.front() == '#' ? std::min<std::size_t>(1, part.size() - 1) : 0] == '.') {
            return std::nullopt;
        }
    }
    FoundSave save;
    save.host = parts.front();
    std::size_t nameStart = parts.size() - 1;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].front() == '#') {
            nameStart = i;
            parts[i].erase(0, 1);
            break;
        }
    }
    save.path.assign(parts.begin() + 1, parts.begin() + static_cast<std::ptrdiff_t>(nameStart));
    for (std::size_t i = nameStart; i < parts.size(); ++i) {
        save.name += (i == nameStart ? "" : "/") + parts[i];
    }
    for (const std::string& part : SaveFileSegments(save)) {
        if (!Nameable(part)) {
            return std::nullopt;
        }
    }
    return save;
}

std::vector<std::string> SaveFileSegments(const FoundSave& save) {
    std::vector<std::string> segments{save.host};
    segments.insert(segments.end(), save.path.begin(), save.path.end());
    std::vector<std::string> name = Segments(save.name);
    if (name.empty()) {
        name.emplace_back();
    }
    if (name.size() > 1) {
        name.front() = "#" + name.front();
    }
    name.back() += ".sol";
    segments.insert(segments.end(), name.begin(), name.end());
    return segments;
}

}  // namespace pellimor
