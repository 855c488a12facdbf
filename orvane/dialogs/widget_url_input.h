// The small frameless dialog in which the user types an address to play: a media file,
// stream or BitTorrent link (as built), or a video web page (Exec). It only collects the
// text, exactly as typed; the caller decides what to play.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class WidgetUrlInput;
}

class WidgetUrlInput : public QDialog {
    Q_OBJECT

public:
    explicit WidgetUrlInput(QWidget* parent = nullptr);
    ~WidgetUrlInput() override;

    // Asks for the address of a video web page; 1 when accepted, 0 otherwise.
    int Exec();
    // The accepted text, untrimmed; empty until "确定" is pressed.
    QString GetUrl() const { return url_; }

private slots:
    void ButtonClicked();

private:
    std::unique_ptr<Ui::WidgetUrlInput> ui_;
    QString url_;
};
