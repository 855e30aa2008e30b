// Answers the program's questions from a script and records what was asked.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ports/Prompts.h"

namespace pellimor::test {

class ScriptedPrompts : public Prompts {
  public:
    std::deque<std::optional<std::string>> saveAnswers;  // nothing = cancel
    bool yes = true;
    std::vector<std::string> errors;
    std::vector<std::string> errorDetails;  // one for each error, empty when none was given
    std::vector<std::pair<std::string, std::string>> saveAsked;  // folder, name
    std::vector<std::string> questions;

    std::optional<std::string> AskSaveAsPath(const std::string& folder,
                                             const std::string& name) override {
        saveAsked.emplace_back(folder, name);
        if (saveAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    void ShowError(const std::string& text) override {
        errors.push_back(text);
        errorDetails.emplace_back();
    }
    void ShowErrorDetails(const std::string& text, const std::string& details) override {
        errors.push_back(text);
        errorDetails.push_back(details);
    }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return yes;
    }
    std::deque<std::optional<std::string>> textAnswers;  // nothing = cancel; none left: cancel
    std::vector<std::string> textAsked;
    std::optional<std::string> AskText(const std::string& question, const std::string&) override {
        textAsked.push_back(question);
        if (textAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = textAnswers.front();
        textAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> folderAnswer;  // what the folder browser picks; nothing = cancel
    std::optional<std::string> BrowseForFolder(const std::string&, const std::string&) override {
        return folderAnswer;
    }
};

}  // namespace pellimor::test
