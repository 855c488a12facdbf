#include "settings_dialog.h"

#include <QDebug>
#include <QFileDialog>

#include "app_config.h"
#include "app_paths.h"
#include "app_values.h"
#include "autostart.h"
#include "bt_server_queries.h"
#include "desktop_file_types.h"
#include "file_associations.h"
#include "settings.h"
#include "speed_limit_validator.h"
#include "speed_limits.h"
#include "ui_settings_dialog.h"
#include "window_drag.h"

namespace {

constexpr int kExtensionColumns = 5;

// A speed edit's text as KiB per second; text that is no number counts as 0.
int SpeedText(const QString& text) { return text.toInt(); }

}  // namespace

SettingsDialog::SettingsDialog(const QString& page, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SettingsDialog>()) {
    setAttribute(Qt::WA_NativeWindow);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    ui_->setupUi(this);
    new WindowDrag(this);
    ui_->editDownloadLimit->setValidator(new SpeedLimitValidator(ui_->editDownloadLimit));
    ui_->editUploadLimit->setValidator(new SpeedLimitValidator(ui_->editUploadLimit));
    ConnectControls();
    pages_ = {{ui_->buttonNormal, ui_->pageNormal},
              {ui_->buttonDownload, ui_->pageDownload},
              {ui_->buttonLink, ui_->pageLink},
              {ui_->buttonPlay, ui_->pagePlay}};
    if (page == "normal") SelectPage(ui_->buttonNormal);
    if (page == "download") SelectPage(ui_->buttonDownload);
    CreateExtensionBoxes();
    ButtonReverNormal();
}

SettingsDialog::~SettingsDialog() = default;

bool SettingsDialog::eventFilter(QObject*, QEvent*) { return false; }

void SettingsDialog::ConnectControls() {
    connect(ui_->buttonClose, &QToolButton::clicked, this, &SettingsDialog::ButtonClose);
    for (QPushButton* button :
         {ui_->buttonNormal, ui_->buttonDownload, ui_->buttonLink, ui_->buttonPlay})
        connect(button, &QPushButton::clicked, this, &SettingsDialog::ButtonSwitch);
    connect(ui_->buttonRevertNormal, &QPushButton::clicked, this,
            &SettingsDialog::ButtonReverNormal);
    connect(ui_->buttonOk, &QPushButton::clicked, this, &SettingsDialog::ButtonOk);
    connect(ui_->buttonCancel, &QPushButton::clicked, this, &SettingsDialog::ButtonCancel);
    connect(ui_->buttonApply, &QPushButton::clicked, this, &SettingsDialog::ButtonApply);
    connect(this, &QDialog::rejected, this, &SettingsDialog::Rejected);
    connect(this, &QDialog::accepted, this, &SettingsDialog::Accepted);
    connect(ui_->buttonCacheBrowser, &QPushButton::clicked, this,
            &SettingsDialog::ButtonCacheBrowser);
    connect(ui_->checkSpeedLimit, &QCheckBox::stateChanged, this,
            &SettingsDialog::SpeedLimitStateChanged);
    connect(ui_->btnLinkSelAll, &QPushButton::clicked, this, &SettingsDialog::ButtonSelAll);
    connect(ui_->btnLinkUnSelAll, &QPushButton::clicked, this, &SettingsDialog::ButtonUnSelAll);
}

void SettingsDialog::SelectPage(QObject* button) {
    for (auto it = pages_.begin(); it != pages_.end(); ++it) {
        const bool selected = it.key() == button;
        it.key()->setChecked(selected);
        if (selected) ui_->switchWidget->setCurrentWidget(it.value());
    }
}

void SettingsDialog::CreateExtensionBoxes() {
    const QStringList extensions = AssociationExtensions();
    for (int i = 0; i < extensions.size(); ++i) {
        auto* box = new QCheckBox(extensions[i], ui_->gridLayoutWidget);
        box->setObjectName(extensions[i]);
        ui_->gridLayoutLink->addWidget(box, i / kExtensionColumns, i % kExtensionColumns);
        extensionBoxes_.insert(extensions[i], box);
    }
}

void SettingsDialog::SetAllExtensionBoxes(bool checked) {
    for (int i = 0; i < ui_->gridLayoutLink->count(); ++i)
        if (auto* box = qobject_cast<QCheckBox*>(ui_->gridLayoutLink->itemAt(i)->widget()))
            box->setChecked(checked);
}

void SettingsDialog::ButtonReverNormal() {
    LoadStoredSettings();
    ui_->checkAutoStart->setChecked(IsAutoStart());
    ui_->checkStayOnTop->setChecked(AppValue("settings_stayontop").toBool());
    if (AppValue("settings_exit_onclose").toBool())
        ui_->radioExitOnClose->setChecked(true);
    else
        ui_->radioMinOnClose->setChecked(true);
    ui_->editCachePath->setText(CacheSavePath(QString()));
    ui_->checkSpeedLimit->setChecked(AppValue("settings_speed_limit").toBool());
    ui_->editDownloadLimit->setText(QString::number(AppValue("settings_download_speed").toInt()));
    ui_->editUploadLimit->setText(QString::number(AppValue("settings_upload_speed").toInt()));
    // Boxes of extensions missing from the list keep whatever state they have.
    for (const QString& ext : AppValue("settings_linked_type").toString().split(','))
        if (QCheckBox* box = extensionBoxes_.value(ext)) box->setChecked(true);
    ui_->checkClickStopPlay->setChecked(AppValue("settings_pause_onclick").toBool());
    ui_->checkMinPause->setChecked(AppValue("settings_pause_min").toBool());
    ui_->checkStartLast->setChecked(AppValue("settings_start_lastpos").toBool());
}

void SettingsDialog::Accepted() {
    // The registry changes of the save are one transaction, written once at its end.
    AssociationSave associations;
    SetAutoStart(ui_->checkAutoStart->isChecked());
    SetAppValue("settings_stayontop", ui_->checkStayOnTop->isChecked());
    SetAppValue("settings_exit_onclose", ui_->radioExitOnClose->isChecked());
    if (PathExists(ui_->editCachePath->text())) SetCacheSavePath(ui_->editCachePath->text());
    SetAppValue("settings_speed_limit", ui_->checkSpeedLimit->isChecked());
    SetAppValue("settings_download_speed", SpeedText(ui_->editDownloadLimit->text()));
    SetAppValue("settings_upload_speed", SpeedText(ui_->editUploadLimit->text()));
    const QString linked = SaveAssociations();
    // What the desktop's file managers ask has to follow the registry.
    associations.Finish();
    // Sent once the registry is written: the pipe may wait for a busy server, and the registry
    // lock, which other programs wait for, must not wait with it.
    const auto [download, upload] = SpeedLimitsFromSettings();
    SendSpeedLimit(download, upload);
    SetAppValue("settings_linked_type", linked);
    SetAppValue("settings_pause_onclick", ui_->checkClickStopPlay->isChecked());
    SetAppValue("settings_pause_min", ui_->checkMinPause->isChecked());
    SetAppValue("settings_start_lastpos", ui_->checkStartLast->isChecked());
    StoreSettings();
}

QString SettingsDialog::SaveAssociations() {
    QStringList linked;
    for (int i = 0; i < ui_->gridLayoutLink->count(); ++i) {
        auto* box = qobject_cast<QCheckBox*>(ui_->gridLayoutLink->itemAt(i)->widget());
        if (!box) continue;
        if (box->isChecked()) {
            RegisterFileAssociations(box->text());
            linked << box->text();
        } else {
            UnregisterFileAssociations(box->text());
        }
    }
    return linked.join(',');
}

void SettingsDialog::ButtonClose() { done(0); }

void SettingsDialog::ButtonSwitch() { SelectPage(sender()); }

void SettingsDialog::ButtonOk() { done(1); }

void SettingsDialog::ButtonCancel() { done(0); }

void SettingsDialog::ButtonApply() {
    Accepted();
    ButtonReverNormal();
}

void SettingsDialog::ButtonSelAll() { SetAllExtensionBoxes(true); }

void SettingsDialog::ButtonUnSelAll() { SetAllExtensionBoxes(false); }

void SettingsDialog::Rejected() {}

void SettingsDialog::ButtonCacheBrowser() {
    // Opens on the folder shown; a start that names no folder would be taken as a file
    // name, and accepting would then answer that name inside the chosen folder.
    QFileDialog chooser(this, "请选择文件夹", ui_->editCachePath->text());
    chooser.setStyleSheet("QPushButton{padding:5px;}");
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
        ui_->editCachePath->setText(chooser.selectedFiles().first());
}

void SettingsDialog::SpeedLimitStateChanged(int state) {
    if (state != Qt::Checked && state != Qt::Unchecked) return;
    ui_->editDownloadLimit->setEnabled(state == Qt::Checked);
    ui_->editUploadLimit->setEnabled(state == Qt::Checked);
}
