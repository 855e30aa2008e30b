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
    std::vector<CacheEntryRef> chosen;  // cache entries go together, so each container is
    std::vector<std::string> labels;    // rewritten once
    for (const std::int32_t key : keys) {
        if (key < 1) {
            continue;
        }
        const SwfEntry entry = state.catalogue.GetEntryByKey(key);
        const std::string label = entry.url.empty() ? entry.localPath : entry.url;
        if (entry.key == 0) {
            continue;
        }
        // Leftover files belong to the cache folder; they go whenever the cache may change.
        const Status allowed = entry.IsLeftover() ? services.cache.CanDelete()
                                                  : services.cache.CanDeleteEntry(entry.id);
        if (!allowed.ok()) {
            outcome.problems.push_back(label + ": " + allowed.error());
            continue;
        }
        if (!state.catalogue.RemoveEntryByKey(key)) {
            continue;
        }
        if (!entry.IsLeftover()) {
            chosen.push_back(CacheEntryRef{
                entry.id, entry.url.empty() ? std::nullopt : std::optional<std::string>(entry.url),
                entry.localPath.empty() ? std::nullopt
                                        : std::optional<std::string>(entry.localPath)});
            labels.push_back(label);
            continue;
        }
        // A format's own left-over file (Chromium's f_ files) lies in that cache's folder,
        // which need not be the folder the others are looked for in.
        std::optional<std::string> folder = services.cache.LeftoverFolderOf(entry.localPath);
        if (!folder) {
            folder = cacheFolder;
        }
        if (!folder || !IsInsideFolder(entry.localPath, *folder)) {
            // A stale key could name a file anywhere: only the cache folder's own files go.
            outcome.problems.push_back(entry.localPath +
                                       ": not inside the cache folder, left alone");
        } else if (const Status removed = services.files.RemoveFile(entry.localPath); removed) {
            outcome.deleted.push_back(entry.localPath);
            outcome.notes.emplace_back();
        } else {
            outcome.problems.push_back(entry.localPath +
                                       ": could not be removed: " + removed.error());
        }
    }
    if (!chosen.empty()) {
        const std::vector<Status> statuses = services.cache.DeleteEntries(chosen);
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            if (i < statuses.size() && statuses[i].ok()) {
                outcome.deleted.push_back(labels[i]);
                outcome.notes.push_back(statuses[i].note());
            } else {
                outcome.problems.push_back(
                    labels[i] + ": " +
                    (i < statuses.size() ? statuses[i].error() : std::string("not deleted")));
            }
        }
    }
    OnSiteChanged(state, state.selectedSite, services);
    return outcome;
}

}  // namespace pellimor
