// Acts on the update dialog once it is up, from inside its modal loop.
#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>

#include "dlg_update.h"

namespace kvupdater_test {

// Polls (every 10 ms) for a visible CDlgUpdate and runs `action` on it once.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void(CDlgUpdate&)> action)
        : action_(std::move(action)), timer_(std::make_unique<QTimer>()) {
        QObject::connect(timer_.get(), &QTimer::timeout, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<CDlgUpdate*>(widget);
                if (dialog && dialog->isVisible() && !acted_) {
                    acted_ = true;
                    timer_->stop();
                    action_(*dialog);
                    return;
                }
            }
        });
        timer_->start(10);
    }
    bool Acted() const { return acted_; }

private:
    std::function<void(CDlgUpdate&)> action_;
    std::unique_ptr<QTimer> timer_;
    bool acted_ = false;
};

}  // namespace kvupdater_test
