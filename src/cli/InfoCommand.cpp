#include "cli/InfoCommand.h"

#include <iostream>
#include <optional>
#include <variant>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "catalogue/BodyReading.h"
#include "catalogue/CacheAddressBook.h"
#include "catalogue/SwfFacts.h"
#include "cli/CommandStart.h"
#include "cli/Commands.h"
#include "cli/Listing.h"
#include "cli/MovieChoice.h"
#include "cli/SwfFactsText.h"
#include "cli/TerminalText.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/PosixFileOps.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

namespace {

// Reads info's or needs' options with every other command's reading; info alone takes
// files outside the cache and --json.
Selection ReadArguments(const std::vector<std::string>& arguments, const std::string& command) {
    const bool takesFiles = command == "info";
    Selection s = ReadSelection(arguments);
    if (takesFiles) {
        AcceptOnly(s, command, {"--site", "--url", "--file", "--json"});
    } else {
        AcceptOnly(s, command, {"--site", "--url"});
    }
    const bool named = !s.names.empty() || !s.urls.empty();
    if (s.error.empty() && !s.files.empty() && (named || !s.site.empty())) {
        s.error = "--file reads files outside the cache: give no NAME or --site with it";
    }
    if (s.error.empty() && s.files.empty() && !named) {
        s.error = takesFiles ? "name the movies (NAME, or --file PATH)" : "name the movies";
    }
    return s;
}

// The chosen movies of the cache, read as far as their facts need.
struct CachedMovie {
    SwfEntry entry;
    std::optional<BodyStart> start;
    std::string error;
};

SwfFacts FactsOf(const BodyStart& start, Decompressor& decompressor) {
    return ReadSwfFacts(start.bytes, decompressor, kSwfDecodeLimit, !start.whole);
}

// Lists the cache as the other commands do and reads the movies named; the exit status
// instead when they cannot be chosen.
std::variant<std::vector<CachedMovie>, int> ChooseCachedMovies(Selection& s,
                                                               OpenedListing& listing) {
    auto opened = OpenListing(s);
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    listing = std::move(std::get<OpenedListing>(opened));
    Session& session = *listing.session;
    MovieRequest request = RequestOf(s);
    request.allMatching = true;
    const MovieChoice choice = ChooseMovies(listing.state, request);
    if (const auto refused = RefuseChoice(choice, "shown", false)) {
        return *refused;
    }
    std::vector<CachedMovie> movies;
    for (const std::int32_t key : choice.keys) {
        for (const SwfEntry& entry : listing.state.catalogue) {
            if (entry.key != key) {
                continue;
            }
            CachedMovie movie{entry, std::nullopt, {}};
            const CachedFile file{entry.localPath, {}, entry.id, std::nullopt};
            if (auto start =
                    ReadBodyStart(&session.cache(), session.files(), file, kFactsReadLimit)) {
                movie.start = std::move(*start);
            } else {
                movie.error = start.error();
            }
            movies.push_back(std::move(movie));
        }
    }
    return movies;
}

}  // namespace

int RunInfo(const std::vector<std::string>& arguments) {
    Selection a = ReadArguments(arguments, "info");
    if (!a.error.empty()) {
        return UsageError("info", a.error);
    }
    SwfDecompressor decompressor;
    std::vector<std::pair<FactsSource, SwfFacts>> read;
    int status = kExitDone;
    if (!a.files.empty()) {
        PosixFileOps files;
        for (const std::string& path : a.files) {
            const auto start = ReadBodyStart(nullptr, files, CachedFile{path, {}, {}, std::nullopt},
                                             kFactsReadLimit);
            if (!start) {
                Report(kExitFailed,
                       start.error().empty() ? path + ": cannot be read" : start.error());
                status = kExitFailed;
                continue;
            }
            read.emplace_back(FactsSource{path, {}, {}}, FactsOf(*start, decompressor));
        }
    } else {
        OpenedListing listing;
        auto chosen = ChooseCachedMovies(a, listing);
        if (const int* failed = std::get_if<int>(&chosen)) {
            return *failed;
        }
        for (const CachedMovie& m : std::get<std::vector<CachedMovie>>(chosen)) {
            if (!m.start) {
                Report(kExitFailed, m.entry.displayName + ": " + m.error);
                status = kExitFailed;
                continue;
            }
            read.emplace_back(FactsSource{m.entry.displayName, m.entry.url, m.entry.site},
                              FactsOf(*m.start, decompressor));
        }
    }
    std::string out = a.json ? "[" : "";
    for (std::size_t i = 0; i < read.size(); ++i) {
        const auto& [source, facts] = read[i];
        if (facts.signature.empty()) {
            status = kExitFailed;  // shown, but what was asked for is no movie
        }
        out += a.json ? (i == 0 ? "\n  " : ",\n  ") + FactsAsJson(source, facts)
                      : (i == 0 ? "" : "\n") + FactsAsText(source, facts);
    }
    std::cout << out << (a.json ? "\n]\n" : "");
    return status;
}

int RunNeeds(const std::vector<std::string>& arguments) {
    Selection a = ReadArguments(arguments, "needs");
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
    SwfDecompressor decompressor;
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
        const SwfFacts facts = FactsOf(*m.start, decompressor);
        std::size_t missing = 0;
        for (const std::string& found : facts.addresses) {
            // A leftover file has no address of its own: only absolute addresses resolve.
            const std::string address =
                m.entry.IsLeftover() ? found : ResolveAddress(m.entry.url, found);
            const bool cached = book.Find(address).has_value();
            missing += cached ? 0 : 1;
            text += std::string("  ") + (cached ? "cached   " : "missing  ") +
                    ForTerminal(address) + "\n";
        }
        if (facts.addresses.empty()) {
            text += "  (no addresses found in the movie)\n";
        } else {
            text += "  " + std::to_string(facts.addresses.size() - missing) + " cached, " +
                    std::to_string(missing) + " missing\n";
        }
        std::cout << text;
    }
    return status;
}

}  // namespace pellimor
