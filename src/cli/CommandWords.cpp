#include "cli/CommandWords.h"

#include <algorithm>

#include "cli/CommandTable.h"

namespace pellimor {

namespace {

// The option of this name as the command declares it, else as another command of the table
// does, or nullptr.
const CommandOption* KnownOption(std::string_view name, std::span<const CommandOption> accepted) {
    for (const CommandOption& option : accepted) {
        if (option.name == name) {
            return &option;
        }
    }
    for (const Command* command : Commands()) {
        for (const CommandOption& option : command->options) {
            if (option.name == name) {
                return &option;
            }
        }
    }
    return nullptr;
}

// The options in words.options.rest; the other words as names.
void ReadOptions(CommandWords& words, std::span<const CommandOption> accepted) {
    const std::vector<std::string>& rest = words.options.rest;
    for (std::size_t i = 0; i < rest.size() && words.error.empty(); ++i) {
        const std::string name = rest[i] == "-y" ? "--yes" : rest[i];
        if (name.rfind("--", 0) != 0) {
            words.names.push_back(name);
            continue;
        }
        const CommandOption* option = KnownOption(name, accepted);
        if (option == nullptr) {
            words.error = "unknown option " + name;
        } else if (!option->takesValue) {
            words.given.emplace_back(name, "");
        } else if (i + 1 >= rest.size()) {
            words.error = rest[i] + " needs a value";
        } else {
            words.given.emplace_back(name, rest[++i]);
        }
    }
}

// The first option given that the command does not take, as the user's fault.
void AcceptOnly(CommandWords& words, std::string_view command,
                std::span<const CommandOption> accepted) {
    for (const CommandOption& option : accepted) {
        if (words.error.empty() && !option.refusal.empty() && words.Has(option.name)) {
            words.error = option.refusal;
        }
    }
    for (const auto& word : words.given) {
        const std::string& name = word.first;
        const bool taken = std::any_of(accepted.begin(), accepted.end(), [&](const auto& o) {
            return o.name == name && o.refusal.empty();
        });
        if (words.error.empty() && !taken) {
            words.error = name + " is not an option of " + std::string(command);
        }
    }
}

}  // namespace

bool CommandWords::Has(std::string_view option) const {
    return std::any_of(given.begin(), given.end(),
                       [&](const auto& word) { return word.first == option; });
}

std::string CommandWords::Value(std::string_view option) const {
    std::string value;
    for (const auto& [name, v] : given) {
        value = name == option ? v : value;
    }
    return value;
}

std::vector<std::string> CommandWords::Values(std::string_view option) const {
    std::vector<std::string> values;
    for (const auto& [name, value] : given) {
        if (name == option) {
            values.push_back(value);
        }
    }
    return values;
}

CommandWords ReadWords(const std::vector<std::string>& arguments, std::string_view command,
                       std::span<const CommandOption> accepted) {
    CommandWords words;
    words.options = ReadProgramOptions(arguments);
    words.error = words.options.error;
    ReadOptions(words, accepted);
    if (words.error.empty() && !words.Value("--site").empty() && words.Has("--leftovers")) {
        words.error = "--site and --leftovers exclude each other";
    }
    AcceptOnly(words, command, accepted);
    return words;
}

}  // namespace pellimor
