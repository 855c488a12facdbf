// A translucent, frameless box with a short message that closes itself after a while.
// Escape does not close it; shown over a parent it is centred on that parent.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class WaitDialog;
}

class WaitDialog : public QDialog {
    Q_OBJECT

public:
    explicit WaitDialog(QWidget* parent = nullptr);
    ~WaitDialog() override;

    void SetInfoText(const QString& text);

public slots:
    // Shows `text` and accepts the dialog (result 1) after `ms` milliseconds.
    void CloseLater(const QString& text, int ms);
    void CloseLater(const QString& text);

protected:
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::WaitDialog> ui_;
};
