#include "cli/CommandTable.h"

namespace pellimor {

// Each defined in its own file under cli/commands; a new command is such a file, its line
// here and its row below.
extern const Command kListCommand;
extern const Command kSaveCommand;
extern const Command kDeleteCommand;
extern const Command kInfoCommand;
extern const Command kNeedsCommand;
extern const Command kExportCommand;
extern const Command kSavesCommand;
extern const Command kFolderCommand;
extern const Command kDemoCommand;

namespace {

constexpr const Command* kCommands[] = {
    &kListCommand,   &kSaveCommand,  &kDeleteCommand, &kInfoCommand, &kNeedsCommand,
    &kExportCommand, &kSavesCommand, &kFolderCommand, &kDemoCommand,
};

}  // namespace

std::span<const Command* const> Commands() {
    return kCommands;
}

const Command* FindCommand(std::string_view name) {
    for (const Command* command : kCommands) {
        if (command->name == name) {
            return command;
        }
    }
    return nullptr;
}

}  // namespace pellimor
