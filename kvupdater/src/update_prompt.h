// Asking the user about an update with CDlgUpdate, when there is a display to ask on.
#pragma once

#include <string>

namespace kvupdater {

struct UpdatePrompt {
    std::string message;  // UTF-8, lines separated by "\r\n"
    bool showSkip = false;
    std::string skipCaption;
    std::string upgradeCaption;
    std::string remindCaption;
};

enum class PromptAnswer { Upgrade, RemindLater, Skip, NotShown };

// Shows the dialog modally and answers the user's choice; NotShown when there is no display.
PromptAnswer AskWithDialog(const UpdatePrompt& prompt);

}  // namespace kvupdater
