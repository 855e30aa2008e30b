#include "cli/InfoCommand.h"

#include <iostream>
#include <optional>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "catalogue/CacheAddressBook.h"
#include "catalogue/SwfFacts.h"
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

// A movie file larger than this is not read; SWF's own length field stops at 4 GB.
constexpr std::uint64_t kLargestMovie = 1ULL << 30;

struct InfoArguments {
    ProgramOptions options;
    std::vector<std::string> files;
    std::vector<std::string> names;
    std::string site;
    bool json = false;
    std::string error;
};

InfoArguments ReadArguments(const std::vector<std::string>& arguments, bool takesFiles) {
    InfoArguments a;
    a.options = ReadProgramOptions(arguments);
    a.error = a.options.error;
    const auto& rest = a.options.rest;
    for (std::size_t i = 0; i < rest.size() && a.error.empty(); ++i) {
        const std::string& word = rest[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= rest.size()) {
                a.error = word + " needs a value";
                return {};
            }
            return rest[++i];
        };
        if (word == "--file" && takesFiles) {
            a.files.push_back(value());
        } else if (word == "--site") {
            a.site = value();
        } else if (word == "--json" && takesFiles) {
            a.json = true;
        } else if (word.rfind("--", 0) == 0) {
            a.error = "unknown option " + word;
        } else {
            a.names.push_back(word);
        }
    }
    if (a.error.empty() && !a.files.empty() && (!a.names.empty() || !a.site.empty())) {
        a.error = "--file reads files outside the cache: give no NAME or --site with it";
    }
    if (a.error.empty() && a.files.empty() && a.names.empty()) {
        a.error = takesFiles ? "name the movies (NAME, or --file PATH)" : "name the movies";
    }
    return a;
}

int Report(int status, const std::string& message) {
    std::cerr << ErrorLines(message);
    return status;
}

int UsageError(const std::string& command, const std::string& message) {
    return Report(kExitUsage, message + " (see pellimor-cli " + command + " --help)");
}

// The chosen movies of the cache, read whole as the listing shows them.
struct CachedMovie {
    SwfEntry entry;
    std::optional<std::string> bytes;
    std::string error;
};

// Lists the cache as save does and picks the movies named; false with error when not.
bool ChooseCachedMovies(const InfoArguments& a, Session& session, std::vector<CachedMovie>& out,
                        std::string& error, int& status) {
    status = kExitFailed;
    if (!session.cacheFolder()) {
        error = "no cache found: give its folder with --cache DIR";
        return false;
    }
    ListingState state;
    state.site = a.site;
    ScanCache(state, session.listing());
    if (!state.cacheError.empty() && state.movieLines.empty()) {
        error = state.cacheError;
        return false;
    }
    if (!state.cacheError.empty()) {
        std::cerr << ErrorLines(state.cacheError);
    }
    MovieRequest request;
    request.site = a.site;
    request.names = a.names;
    request.allMatching = true;
    const MovieChoice choice = ChooseMovies(state, request);
    status = kExitUsage;
    if (!choice.refusal.empty()) {
        error = choice.refusal;
        return false;
    }
    if (!choice.missing.empty()) {
        error = "nothing in this listing matches ";
        for (std::size_t i = 0; i < choice.missing.size(); ++i) {
            error += (i == 0 ? "" : ", ") + ForTerminal(choice.missing[i]);
        }
        return false;
    }
    for (const std::int32_t key : choice.keys) {
        for (const SwfEntry& entry : state.catalogue) {
            if (entry.key != key) {
                continue;
            }
            CachedMovie movie{entry, std::nullopt, {}};
            if (!entry.localPath.empty()) {
                movie.bytes = session.files().ReadFile(entry.localPath, kLargestMovie, movie.error);
            } else if (auto body = session.cache().ReadBody(entry.id, kLargestMovie); body) {
                movie.bytes = std::move(body->bytes);
            } else {
                movie.error = body.error();
            }
            out.push_back(std::move(movie));
        }
    }
    return true;
}

}  // namespace

int RunInfo(const std::vector<std::string>& arguments) {
    const InfoArguments a = ReadArguments(arguments, true);
    if (!a.error.empty()) {
        return UsageError("info", a.error);
    }
    SwfDecompressor decompressor;
    std::vector<std::pair<FactsSource, SwfFacts>> read;
    int status = kExitDone;
    if (!a.files.empty()) {
        PosixFileOps files;
        for (const std::string& path : a.files) {
            std::string error;
            const auto bytes = files.ReadFile(path, kLargestMovie, error);
            if (!bytes) {
                Report(kExitFailed, error.empty() ? path + ": cannot be read" : error);
                status = kExitFailed;
                continue;
            }
            read.emplace_back(FactsSource{path, {}, {}}, ReadSwfFacts(*bytes, decompressor));
        }
    } else {
        Session session(a.options);
        std::vector<CachedMovie> movies;
        std::string error;
        int failed = kExitFailed;
        if (!ChooseCachedMovies(a, session, movies, error, failed)) {
            return Report(failed, error);
        }
        for (const CachedMovie& m : movies) {
            if (!m.bytes) {
                Report(kExitFailed, m.entry.displayName + ": " + m.error);
                status = kExitFailed;
                continue;
            }
            read.emplace_back(FactsSource{m.entry.displayName, m.entry.url, m.entry.site},
                              ReadSwfFacts(*m.bytes, decompressor));
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
    const InfoArguments a = ReadArguments(arguments, false);
    if (!a.error.empty()) {
        return UsageError("needs", a.error);
    }
    Session session(a.options);
    std::vector<CachedMovie> movies;
    std::string error;
    int failed = kExitFailed;
    if (!ChooseCachedMovies(a, session, movies, error, failed)) {
        return Report(failed, error);
    }
    CacheAddressBook book;
    if (const Status built = book.Build(session.cache()); !built.ok()) {
        std::cerr << ErrorLines("the cache could not be read whole: " + built.error());
    }
    SwfDecompressor decompressor;
    int status = kExitDone;
    for (std::size_t i = 0; i < movies.size(); ++i) {
        const CachedMovie& m = movies[i];
        std::string text = (i == 0 ? "" : "\n") + ForTerminal(m.entry.displayName) + "  " +
                           ForTerminal(m.entry.url) + "\n";
        if (!m.bytes) {
            Report(kExitFailed, m.entry.displayName + ": " + m.error);
            status = kExitFailed;
            continue;
        }
        const SwfFacts facts = ReadSwfFacts(*m.bytes, decompressor);
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
