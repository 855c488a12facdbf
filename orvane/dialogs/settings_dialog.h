// The player's options window. It shows the stored settings and saves them, with start at
// login, the cache folder, the speed limits (sent to the BT server) and the file-type
// associations (registry and desktop), when "确定" or "应用" is pressed. Frameless, moved by
// dragging its background. Created on the caller's stack for one command and run with
// exec(); nothing of it outlives it. User-interface thread only.
#pragma once

#include <QDialog>
#include <QMap>
#include <QString>
#include <memory>

class QCheckBox;
class QPushButton;

namespace Ui {
class SettingsDialog;
}

class SettingsDialog : public QDialog {
    Q_OBJECT

public:
    // `page` "normal" opens the general page, "download" the download page; any other text
    // checks no page button and shows the first page. The controls show the stored settings.
    explicit SettingsDialog(const QString& page, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void ButtonClose();
    void ButtonSwitch();
    void ButtonOk();
    void ButtonCancel();
    void ButtonApply();
    // Shows the stored settings again (also what the constructor and "应用" do).
    void ButtonReverNormal();
    void ButtonSelAll();
    void ButtonUnSelAll();
    void Rejected();
    // Saves every control (also what "应用" does).
    void Accepted();
    void ButtonCacheBrowser();
    void SpeedLimitStateChanged(int state);

private:
    void ConnectControls();
    void SelectPage(QObject* button);
    void CreateExtensionBoxes();
    void SetAllExtensionBoxes(bool checked);
    // Registers the ticked extensions and unregisters the others; answers the ticked ones in
    // grid order, joined by ",".
    QString SaveAssociations();

    std::unique_ptr<Ui::SettingsDialog> ui_;
    QMap<QString, QCheckBox*> extensionBoxes_;
    QMap<QPushButton*, QWidget*> pages_;
};
