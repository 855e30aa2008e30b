#include "sites/FolderScanner.h"

#include <optional>
#include <unordered_set>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

bool IsTrailingSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

struct IdentityHash {
    std::size_t operator()(const FolderIdentity& id) const {
        return std::hash<std::uint64_t>()(id.inode * 1000003u ^ id.device);
    }
};

}  // namespace

void StripTrailingSeparators(std::string& path) {
    for (;;) {
        std::size_t end = path.size();
        while (end > 0 && IsTrailingSpace(path[end - 1])) {
            --end;
        }
        const std::string_view trimmed(path.data(), end);
        const auto slash = trimmed.rfind('/');
        if (slash == std::string_view::npos || slash + 1 != trimmed.size()) {
            return;
        }
        path.resize(slash);
    }
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starAt = std::string_view::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        // A star is always a wildcard, also where the name holds a star itself.
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++n;
            ++p;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool FolderScanner::SetRoot(const char* path, bool recurse) {
    root_ = path == nullptr ? "" : path;
    StripTrailingSeparators(root_);
    if (!recurse) {
        folders_.push_back(root_);
        return true;
    }
    Walk(root_,
         [this](const std::string& folder, const std::vector<FolderItem>&) {
             folders_.push_back(folder);
         },
         {});
    return true;
}

void FolderScanner::FindFilesBelow(const char* path, std::string_view pattern) {
    root_ = path == nullptr ? "" : path;
    StripTrailingSeparators(root_);
    Walk(
        root_,
        [this, pattern](const std::string& folder, const std::vector<FolderItem>& items) {
            folders_.push_back(folder);
            if (!folder.empty()) {
                AddMatches(folder + "/", items, pattern, true, false);
            }
        },
        [this, pattern](std::string_view name) {
            return detailsWanted_ && MatchesWildcard(name, pattern);
        });
}

// Post-order without recursion, so that no nesting depth can exhaust the stack. A folder
// already collected (reached again through a link) is not entered a second time.
void FolderScanner::Walk(
    const std::string& dir,
    const std::function<void(const std::string&, const std::vector<FolderItem>&)>& found,
    const std::function<bool(std::string_view)>& detailsFor) {
    struct Frame {
        std::string path;
        std::vector<FolderItem> items;
        std::size_t next = 0;
    };
    std::unordered_set<FolderIdentity, IdentityHash> visited;
    if (const auto id = files_.IdentifyFolder(dir)) {
        visited.insert(*id);
    }
    std::vector<Frame> stack;
    const auto enter = [&](const std::string& path) {
        auto listing = files_.ListFolder(path, detailsFor);
        stack.push_back(Frame{path, listing ? std::move(*listing) : std::vector<FolderItem>{}, 0});
    };
    enter(dir);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.items.size()) {
            const Frame done = std::move(top);
            stack.pop_back();
            found(done.path, done.items);
            continue;
        }
        const FolderItem& item = top.items[top.next++];
        if ((item.attributes & kAttributeDirectory) == 0 || item.name == "." || item.name == "..") {
            continue;
        }
        const std::string child = top.path + "/" + item.name;
        const auto id = files_.IdentifyFolder(child);
        if (id && !visited.insert(*id).second) {
            continue;
        }
        enter(child);
    }
}

bool FolderScanner::FindFiles(std::string_view pattern, bool includeFiles, bool includeFolders) {
    for (const std::string& folder : folders_) {
        if (folder.empty()) {
            continue;
        }
        if (!SearchFolder(folder, pattern, includeFiles, includeFolders)) {
            return false;
        }
    }
    return true;
}

bool FolderScanner::SearchFolder(const std::string& folder, std::string_view pattern,
                                 bool includeFiles, bool includeFolders) {
    std::string base = folder;
    StripTrailingSeparators(base);
    base += "/";
    const auto listing = files_.ListFolder(base, [this, pattern](std::string_view name) {
        return detailsWanted_ && MatchesWildcard(name, pattern);
    });
    if (listing) {
        AddMatches(base, *listing, pattern, includeFiles, includeFolders);
    }
    return true;
}

void FolderScanner::AddMatches(const std::string& base, const std::vector<FolderItem>& items,
                               std::string_view pattern, bool includeFiles, bool includeFolders) {
    for (const FolderItem& item : items) {
        const bool isFolder = (item.attributes & kAttributeDirectory) != 0;
        if (isFolder && (item.name == "." || item.name == "..")) {
            continue;
        }
        if (!(isFolder ? includeFolders : includeFiles) || !MatchesWildcard(item.name, pattern)) {
            continue;
        }
        results_.push_back(FoundFile{base + item.name, isFolder, item.attributes, item.created,
                                     item.lastWritten, item.size});
    }
}

}  // namespace pellimor
