// A caption bar for a frameless player window: a title on the left and a download
// information label on the right, over a shade that fades downwards. Fades out like the
// control bar.
#pragma once

#include <QWidget>
#include <memory>

#include "widget_fade.h"

namespace Ui {
class PlayerCaption;
}

class PlayerCaption : public QWidget {
    Q_OBJECT

public:
    explicit PlayerCaption(QWidget* parent = nullptr);
    ~PlayerCaption() override;

    void SetTitleText(const QString& text);
    void SetInfoText(const QString& text);
    void ShowInfo();
    void HideInfo();
    // The same as HideInfo(); the argument has no effect.
    void HideInfo(bool unused);
    void FadeOut();

signals:
    void closeClicked();

public slots:
    void CloseClicked();
    void InfoClicked();
    void HideFinished();
    void TopClicked();

private:
    std::unique_ptr<Ui::PlayerCaption> ui_;
    WidgetFade fade_;
};
