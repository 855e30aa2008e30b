// The program's questions as Qt dialogs with the caption "Pellimor".
#pragma once

#include <QWidget>

#include "ports/Prompts.h"

namespace pellimor {

class QtPrompts : public Prompts {
  public:
    explicit QtPrompts(QWidget* owner) : owner_(owner) {}
    std::optional<std::string> AskSaveAsPath(const std::string& initialFolder,
                                             const std::string& initialName) override;
    void ShowError(const std::string& text) override;
    void ShowErrorDetails(const std::string& text, const std::string& details) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> AskText(const std::string& question,
                                       const std::string& initial) override;
    std::optional<std::string> BrowseForFolder(const std::string& title,
                                               const std::string& initialFolder) override;

  private:
    QWidget* owner_;
};

}  // namespace pellimor
