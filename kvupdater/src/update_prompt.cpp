#include "update_prompt.h"

#include <QApplication>
#include <memory>

#include "display_probe.h"
#include "dlg_update.h"

namespace kvupdater {

PromptAnswer AskWithDialog(const UpdatePrompt& prompt) {
    if (!DisplayAvailable()) return PromptAnswer::NotShown;
    std::unique_ptr<QApplication> application;
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "KvUpdater";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);
    }
    CDlgUpdate dialog;
    dialog.SetMessage(QString::fromStdString(prompt.message));
    dialog.SetShowSkip(prompt.showSkip);
    dialog.SetCaptions(QString::fromStdString(prompt.skipCaption),
                       QString::fromStdString(prompt.upgradeCaption),
                       QString::fromStdString(prompt.remindCaption));
    switch (dialog.DoModal()) {
        case CDlgUpdate::kResultUpgrade:
            return PromptAnswer::Upgrade;
        case CDlgUpdate::kResultSkip:
            return PromptAnswer::Skip;
        default:
            return PromptAnswer::RemindLater;
    }
}

}  // namespace kvupdater
