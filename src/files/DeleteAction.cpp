#include "files/DeleteAction.h"

#include "files/SaveEntry.h"
#include "resources/Strings.h"

namespace pellimor {

bool IsInsideFolder(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.size() <= folder.size() + 1 ||
        path.compare(0, folder.size(), folder) != 0 || path[folder.size()] != '/') {
        return false;
    }
    std::string rest(1, '/');
    rest.append(path, folder.size() + 1, std::string::npos).push_back('/');
    return rest.find("/../") == std::string::npos && rest.find("/./") == std::string::npos &&
           rest.find("//") == std::string::npos;
}

DeleteOutcome OnDelete(ListingState& state, std::span<const std::int32_t> selectedKeys,
                       ListingServices& services, Prompts& prompts) {
    DeleteOutcome outcome;
    if (!prompts.AskYesNo(std::string(strings::kAreYouSure))) {
        return outcome;
    }
    outcome.confirmed = true;
    const auto keys = selectedKeys.first(std::min(selectedKeys.size(), kSelectionCapacity));
    const std::optional<std::string> cacheFolder = services.cacheFolder();
    for (const std::int32_t key : keys) {
        if (key < 1) {
            continue;
        }
        const SwfEntry entry = state.catalogue.GetEntryByKey(key);
        if (entry.url.empty() || !state.catalogue.RemoveEntryByKey(key)) {
            continue;
        }
        if (entry.url != entry.localPath) {
            const CacheStatus status = services.cache.DeleteEntry(entry.url);
            if (status.ok) {
                outcome.deleted.push_back(entry.url);
            } else {
                outcome.problems.push_back(entry.url + ": " + status.error);
            }
        } else if (!cacheFolder || !IsInsideFolder(entry.localPath, *cacheFolder)) {
            // A stale key could name a file anywhere: only the cache folder's own files go.
            outcome.problems.push_back(entry.localPath +
                                       ": not inside the cache folder, left alone");
        } else if (services.files.RemoveFile(entry.localPath)) {
            outcome.deleted.push_back(entry.localPath);
        } else {
            outcome.problems.push_back(entry.localPath + ": could not be removed");
        }
    }
    OnSiteChanged(state, state.selectedSite, services);
    return outcome;
}

}  // namespace pellimor
