// The program's questions asked on the terminal: the delete confirmation shows what goes,
// and without a terminal to answer on, only --yes says yes.
#pragma once

#include <string>
#include <utility>

#include "ports/Prompts.h"

namespace pellimor {

class TerminalPrompts : public Prompts {
  public:
    // shownFirst: printed on standard output before the question, also with yes.
    explicit TerminalPrompts(bool yes, std::string shownFirst = {})
        : yes_(yes), shownFirst_(std::move(shownFirst)) {}

    std::optional<std::string> AskSaveAsPath(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void ShowError(const std::string& text) override;
    // The error, then what the system said and where, each line marked as an error.
    void ShowErrorDetails(const std::string& text, const std::string& details) override;
    bool AskYesNo(const std::string& text) override;

  private:
    bool yes_;
    std::string shownFirst_;
};

}  // namespace pellimor
