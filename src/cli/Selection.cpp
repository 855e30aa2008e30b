#include "cli/Selection.h"

#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/TerminalText.h"

namespace pellimor {

Selection SelectionOf(const CommandWords& words) {
    Selection s;
    s.options = words.options;
    s.site = words.Value("--site");
    s.leftovers = words.Has("--leftovers");
    s.all = words.Has("--all");
    s.allMatching = words.Has("--all-matching");
    s.names = words.names;
    s.urls = words.Values("--url");
    s.error = words.error;
    return s;
}

Selection NamedSelectionOf(const CommandWords& words, const std::string& noneNamed) {
    Selection s = SelectionOf(words);
    if (s.error.empty() && s.names.empty() && s.urls.empty() && !s.all) {
        s.error = noneNamed;
    }
    return s;
}

MovieRequest RequestOf(const Selection& s) {
    return {s.site, s.names, s.urls, s.all, s.allMatching};
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) {
        joined += (joined.empty() ? "" : ", ") + ForTerminal(text);
    }
    return joined;
}

std::optional<int> RefuseChoice(const MovieChoice& choice, std::string_view verb,
                                bool sayOnRefusal) {
    if (!choice.refusal.empty()) {
        return Report(kExitUsage,
                      choice.refusal + (sayOnRefusal ? "\nnothing " + std::string(verb) : ""));
    }
    if (!choice.missing.empty()) {
        return Report(kExitUsage, "nothing in this listing matches " + Joined(choice.missing) +
                                      "; nothing " + std::string(verb));
    }
    return std::nullopt;
}

}  // namespace pellimor
