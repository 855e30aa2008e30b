// Every command of pellimor-cli, in the order the help lists them: what main runs and what
// the help shows come from this one table.
#pragma once

#include <span>
#include <string_view>

#include "cli/Command.h"

namespace pellimor {

std::span<const Command* const> Commands();

// The command of this name, or nullptr.
const Command* FindCommand(std::string_view name);

}  // namespace pellimor
