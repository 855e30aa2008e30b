#include "files/SaveEntry.h"

#include <cstdio>

#include "catalogue/BodyReading.h"
#include "files/SettingsStore.h"
#include "resources/Strings.h"

namespace pellimor {

namespace {

constexpr std::size_t kFileNameCapacity = 259;  // the Save As name buffer, without terminator

std::string NumberedName(const std::string& base, unsigned long long counter) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%02llu", counter);
    return base + digits;
}

std::span<const std::int32_t> CappedSelection(std::span<const std::int32_t> keys) {
    return keys.first(std::min(keys.size(), kSelectionCapacity));
}

// SaveEntry without the flush to the disk, which a batch does once at its end.
int SaveOne(const SwfEntry& entry, bool askUser, SaveServices& services, SaveOutcome* outcome) {
    const auto saveFolder = [&services] {
        return services.folderOverride.empty()
                   ? GetSavePath(services.registry, services.defaultFolder)
                   : services.folderOverride;
    };
    std::string chosenName;
    std::string chosenFolder;
    if (askUser) {
        const auto chosen = services.prompts.AskSaveAsPath(
            saveFolder(), entry.displayName.substr(0, kFileNameCapacity));
        if (!chosen) {
            return 0;
        }
        const auto slash = chosen->rfind('/');
        const std::string file = slash == std::string::npos ? *chosen : chosen->substr(slash + 1);
        const auto dot = file.rfind('.');
        chosenName = dot == std::string::npos ? file : file.substr(0, dot);
        chosenFolder = slash == std::string::npos ? std::string() : chosen->substr(0, slash);
    }
    std::string base = entry.displayName;
    std::string folder = saveFolder();
    if (!chosenName.empty()) {
        base = chosenName;
    }
    if (!chosenFolder.empty()) {
        folder = chosenFolder;
    }
    // A body kept inside the cache's own files is written as it is read and decoded, never
    // held whole: one that decodes to a gigabyte costs the pieces on their way.
    Result<std::unique_ptr<PendingCopy>> copy = Fail("no cache to read the movie from");
    if (!entry.localPath.empty()) {
        copy = services.files.StageCopy(entry.localPath, folder);
    } else if (services.cache != nullptr) {
        copy = services.files.StageStream(
            [&](const ByteSink& sink) -> Status {
                PELLIMOR_TRY(services.cache->StreamBody(entry.id, kLargestMovieBody, sink));
                return Done{};
            },
            folder);
    }
    std::string target = folder + "/" + base + ".swf";
    Status result = copy ? (*copy)->NameAs(target) : Status(copy.failure());
    for (unsigned long long counter = 1; result.kind() == FailureKind::kTargetExists; ++counter) {
        target = folder + "/" + NumberedName(base, counter) + ".swf";
        result = (*copy)->NameAs(target);
    }
    if (!result) {
        const std::string reason = result.error().empty() ? "the copy failed" : result.error();
        services.prompts.ShowErrorDetails(std::string(strings::Load(strings::kCopyFailed)) + base,
                                          reason + "\nFolder: " + folder);
        if (outcome != nullptr) {
            outcome->failed.push_back(base);
            if (result.kind() == FailureKind::kTargetFolder) {
                outcome->unusableFolder = folder;
            }
        }
    } else if (outcome != nullptr) {
        outcome->savedTo.push_back(target);
    }
    return 1;
}

// The copies of a batch reach the disk here, before it is reported; the copies named stay
// (each is whole) but are reported as failed when the disk did not take them.
void FlushBatch(SaveServices& services, SaveOutcome& outcome) {
    const Status flushed = services.files.FlushNamedCopies();
    if (flushed.ok() || outcome.savedTo.empty()) {
        return;
    }
    services.prompts.ShowErrorDetails(std::string(strings::Load(strings::kCopyFailed)),
                                      flushed.error());
    for (const std::string& path : outcome.savedTo) {
        const std::string file = path.substr(path.rfind('/') + 1);
        outcome.failed.push_back(file.substr(0, file.rfind('.')));
    }
    outcome.savedTo.clear();
}

}  // namespace

int SaveEntry(const SwfEntry& entry, bool askUser, SaveServices& services, SaveOutcome* outcome) {
    SaveOutcome own;
    SaveOutcome& kept = outcome != nullptr ? *outcome : own;
    const std::size_t before = kept.savedTo.size();
    const int done = SaveOne(entry, askUser, services, &kept);
    if (kept.savedTo.size() > before) {
        FlushBatch(services, kept);
    }
    return done;
}

namespace {

SaveOutcome SaveSelection(const SwfCatalogue& catalogue, std::span<const std::int32_t> keys,
                          bool askUser, SaveServices& services) {
    SaveOutcome outcome;
    for (const std::int32_t key : CappedSelection(keys)) {
        if (key < 1) {
            continue;
        }
        const SwfEntry entry = catalogue.GetEntryByKey(key);
        if (entry.key == 0) {
            continue;
        }
        if (SaveOne(entry, askUser, services, &outcome) == 0) {
            break;  // a cancelled Save As skips the rest
        }
        if (!askUser && !outcome.unusableFolder.empty()) {
            break;  // every other copy would meet the same folder: one message is enough
        }
    }
    FlushBatch(services, outcome);
    return outcome;
}

}  // namespace

SaveOutcome OnSave(const SwfCatalogue& catalogue, std::span<const std::int32_t> selectedKeys,
                   SaveServices& services) {
    return SaveSelection(catalogue, selectedKeys, false, services);
}

SaveOutcome OnSaveAs(const SwfCatalogue& catalogue, std::span<const std::int32_t> selectedKeys,
                     SaveServices& services) {
    return SaveSelection(catalogue, selectedKeys, true, services);
}

SaveOutcome OnSaveAll(const SwfCatalogue& catalogue, SaveServices& services) {
    SaveOutcome outcome;
    for (const SwfEntry& entry : catalogue) {
        SaveOne(entry, false, services, &outcome);
        if (!outcome.unusableFolder.empty()) {
            break;  // every other copy would meet the same folder: one message is enough
        }
    }
    FlushBatch(services, outcome);
    return outcome;
}

}  // namespace pellimor
