// The updater's only window: shows the update message and lets the user upgrade now, be
// reminded later, or skip this version.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

class QPlainTextEdit;
class QPushButton;

class CDlgUpdate : public QDialog {
    Q_OBJECT

public:
    // Control ids; the two ending buttons double as the modal results they give.
    static constexpr int kIdUpgrade = 1;
    static constexpr int kIdRemind = 2;
    static constexpr int kIdSkip = 1000;
    static constexpr int kIdMessage = 1001;
    // Modal results.
    static constexpr int kResultUpgrade = 1;
    static constexpr int kResultRemind = 2;
    static constexpr int kResultSkip = 3;

    explicit CDlgUpdate(QWidget* parent = nullptr);

    // Lines separated by "\r\n".
    void SetMessage(const QString& message) { message_ = message; }
    void SetShowSkip(bool show) { showSkip_ = show; }
    // An empty caption keeps the button's own.
    void SetCaptions(const QString& skip, const QString& upgrade, const QString& remind);

    // Runs the dialog modally: kResultUpgrade, kResultRemind or kResultSkip.
    int DoModal();

    // The control with one of the ids above (null for others).
    QWidget* Control(int id) const;

    // Esc and the window's close box: remind later.
    void reject() override;

protected:
    bool OnInitDialog();

private:
    QIcon icon_;
    QString message_;
    bool showSkip_ = false;
    QString skipCaption_;
    QString upgradeCaption_;
    QString remindCaption_;
    QPlainTextEdit* messageEdit_;
    QPushButton* skipButton_;
    QPushButton* upgradeButton_;
    QPushButton* remindButton_;
};
