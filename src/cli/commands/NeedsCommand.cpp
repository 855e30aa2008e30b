// pellimor-cli needs: the addresses a movie may load, each found in the cache or missing.
#include <iostream>
#include <variant>

#include "app/Session.h"
#include "catalogue/CacheAddressBook.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/TerminalText.h"
#include "cli/commands/CachedMovies.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

namespace {

constexpr CommandOption kOptions[] = {{"--site", true}, {"--url", true}};

// The addresses the movie may load, each marked cached or missing, and their count.
std::string NeedsText(const CachedMovie& m, const SwfFacts& facts, const CacheAddressBook& book) {
    std::string text;
    std::size_t missing = 0;
    for (const std::string& found : facts.addresses) {
        // A leftover file has no address of its own: only absolute addresses resolve.
        const std::string address =
            m.entry.IsLeftover() ? found : ResolveAddress(m.entry.url, found);
        const bool cached = book.Find(address).has_value();
        missing += cached ? 0 : 1;
        text +=
            std::string("  ") + (cached ? "cached   " : "missing  ") + ForTerminal(address) + "\n";
    }
    if (facts.addresses.empty()) {
        text += "  (no addresses found in the movie)\n";
    } else {
        text += "  " + std::to_string(facts.addresses.size() - missing) + " cached, " +
                std::to_string(missing) + " missing\n";
    }
    return text;
}

int Run(const std::vector<std::string>& arguments) {
    const CommandWords words = ReadWords(arguments, "needs", kOptions);
    Selection a = NamedSelectionOf(words, "name the movies");
    if (!a.error.empty()) {
        return UsageError("needs", a.error);
    }
    OpenedListing listing;
    auto chosen = ChooseCachedMovies(a, listing);
    if (const int* failed = std::get_if<int>(&chosen)) {
        return *failed;
    }
    const auto& movies = std::get<std::vector<CachedMovie>>(chosen);
    CacheAddressBook book;
    if (const Status built = book.Build(listing.session->cache()); !built.ok()) {
        std::cerr << ErrorLines("the cache could not be read whole: " + built.error());
    }
    Decompressor& decompressor = listing.session->tools().decompressor;
    int status = kExitDone;
    for (std::size_t i = 0; i < movies.size(); ++i) {
        const CachedMovie& m = movies[i];
        std::string text = (i == 0 ? "" : "\n") + ForTerminal(m.entry.displayName) + "  " +
                           ForTerminal(m.entry.url) + "\n";
        if (!m.start) {
            Report(kExitFailed, m.entry.displayName + ": " + m.error);
            status = kExitFailed;
            continue;
        }
        std::cout << text + NeedsText(m, FactsOf(*m.start, decompressor), book);
    }
    return status;
}

}  // namespace

extern const Command kNeedsCommand{
    .name = "needs",
    .summary =
        "  needs  [--site S] NAME...                  the addresses a movie may load, each\n"
        "                                             cached or missing\n",
    .usage =
        "Usage: pellimor-cli needs [--site S] NAME... [--url ADDRESS]... [OPTIONS]\n"
        "\n"
        "Prints the addresses each movie may load, found in its scripts and imports, resolved\n"
        "against the movie's own address, each marked \"cached\" when the cache holds it or\n"
        "\"missing\" when not.\n"
        "\n"
        "  NAME             every movie listed under this name\n"
        "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
        "  --site S         only the sites whose name contains S\n",
    .options = kOptions,
    .run = Run,
};

}  // namespace pellimor
