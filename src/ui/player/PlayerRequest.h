// Which part of the preview page a request of the page's own scheme asks for, read from the
// address text alone (no Qt), so that a fuzzer reaches every answer the scheme can give.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pellimor {

enum class PlayerRequestKind {
    kNotFound,    // anything else: answered "not found"
    kPageFile,    // name: "index.html" or "player.js"
    kOptions,     // options.js, the player's options
    kRuffleFile,  // name: a plain file name inside Ruffle's folder
    kCache,       // value: the address whose cached file is asked for
    kFile,        // value: the path of the movie shown
    kEvent,       // name: one of the page's events; fields: what it tells
};

struct PlayerRequest {
    PlayerRequestKind kind = PlayerRequestKind::kNotFound;
    std::string name;
    std::string value;
    std::vector<std::pair<std::string, std::string>> fields;  // decoded, without the key
};

// The query field that carries the page's key in an event.
inline constexpr char kPageKeyField[] = "key";

// Reads a request's address (as the web engine gives it, percent-encoded). An event is one
// only with pageKey in its key field and a name the window knows; an empty pageKey (no page
// served yet) accepts no event.
PlayerRequest ParsePlayerRequest(std::string_view url, std::string_view pageKey);

// The events the page tells the window: "ready", "metadata", "frame", "missing", "failed".
bool IsPageEventName(std::string_view name);

// A name Ruffle's folder may answer: letters, digits, '.', '-', '_', not starting with '.'.
bool IsRuffleFileName(std::string_view name);

}  // namespace pellimor
