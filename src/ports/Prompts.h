// The questions the program asks the user; the window answers them with dialogs, the
// command line on the terminal, the tests by script.
#pragma once

#include <optional>
#include <string>

namespace pellimor {

class Prompts {
  public:
    virtual ~Prompts() = default;
    // Save As: the chosen full path, or nothing when the user cancelled.
    virtual std::optional<std::string> AskSaveAsPath(const std::string& initialFolder,
                                                     const std::string& initialName) = 0;
    virtual void ShowError(const std::string& text) = 0;
    // An error with a second, smaller text beneath it: what the system said, and where.
    virtual void ShowErrorDetails(const std::string& text, const std::string& /*details*/) {
        ShowError(text);
    }
    // Yes (true) or No.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A line of text, offered with initial; nothing when the user cancelled.
    virtual std::optional<std::string> AskText(const std::string& /*question*/,
                                               const std::string& /*initial*/) {
        return std::nullopt;
    }
    // A folder of the file system, or nothing when the user cancelled.
    virtual std::optional<std::string> BrowseForFolder(const std::string& /*title*/,
                                                       const std::string& /*initialFolder*/) {
        return std::nullopt;
    }
};

}  // namespace pellimor
