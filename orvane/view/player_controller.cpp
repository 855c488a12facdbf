#include "player_controller.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QStyle>

#include "host_queries.h"
#include "ui_player_controller.h"

namespace {

QString VolumeIcon(int value) {
    if (value <= 0) return QStringLiteral(":/image/media_volume_0.png");
    if (value < 30) return QStringLiteral(":/image/media_volume_1.png");
    if (value < 70) return QStringLiteral(":/image/media_volume_2.png");
    return QStringLiteral(":/image/media_volume_3.png");
}

}  // namespace

PlayerController::PlayerController(QWidget* parent)
    : QWidget(parent), ui_(new Ui::PlayerController), fade_(this) {
    ui_->setupUi(this);
    ui_->labelLoading->hide();
    connect(ui_->buttonVolume, SIGNAL(clicked()), this, SLOT(VolumeClicked()));
    connect(ui_->fullscreenButton, SIGNAL(clicked()), this, SLOT(ScreenClicked()));
    connect(ui_->volumeSlider, SIGNAL(valueChanged(int)), this, SLOT(VolumeChanged(int)));
    connect(ui_->progressSlider, SIGNAL(sliderReleased()), this, SLOT(PosChanged()));
    connect(ui_->buttonPlay, SIGNAL(clicked()), this, SLOT(PlayClicked()));
    connect(ui_->recordsButton, SIGNAL(clicked()), this, SLOT(RecordsClicked()));
    connect(ui_->buttonStop, SIGNAL(clicked()), this, SLOT(StopClicked()));
    connect(ui_->adLabel, SIGNAL(clicked()), this, SLOT(AdClicked()));
    ui_->progressSlider->installEventFilter(this);
    // The player's keys are its hotkeys: a control holding the focus would take Space or the
    // arrows a second time (a button clicks, a slider moves).
    for (QWidget* control : findChildren<QWidget*>())
        if (control->focusPolicy() != Qt::NoFocus) control->setFocusPolicy(Qt::NoFocus);
}

PlayerController::~PlayerController() = default;

void PlayerController::SetTimeText(const QString& text) { ui_->titleLabel->setText(text); }

void PlayerController::SetSpeedText(const QString& text) {
    if (!text.isEmpty()) ui_->labelSpeed->setText(text);
}

void PlayerController::SetTitleText(const QString& text) {
    if (text.isEmpty())
        ui_->labelLoading->hide();
    else
        ui_->labelLoading->setText(text);
}

void PlayerController::SetVolume(int volume) { ui_->volumeSlider->setValue(volume); }

int PlayerController::GetVolume() const { return ui_->volumeSlider->value(); }

void PlayerController::SetFullScreenChecked(bool checked) {
    ui_->fullscreenButton->setChecked(checked);
}

void PlayerController::SetPos(int pos) {
    if (!ui_->progressSlider->isSliderDown()) ui_->progressSlider->setValue(pos);
}

int PlayerController::GetPos() const { return ui_->progressSlider->value(); }

void PlayerController::SetBufferRanges(const BufferRanges& ranges) {
    ui_->progressSlider->SetBufferRanges(ranges);
}

void PlayerController::CheckRecords() {
    ui_->recordsButton->setChecked(true);
    emit recordsClicked(true);
}

void PlayerController::UncheckRecords() {
    ui_->recordsButton->setChecked(false);
    emit recordsClicked(false);
}

void PlayerController::HideRecordsButton() { ui_->recordsButton->hide(); }

void PlayerController::ShowRecordsButton() { ui_->recordsButton->show(); }

void PlayerController::Reset() {
    ui_->progressSlider->setRange(0, 0);
    ui_->progressSlider->setEnabled(false);
    ui_->progressSlider->setValue(0);
    ui_->buttonPlay->setChecked(true);
    ui_->buttonVolume->setEnabled(false);
    ui_->fullscreenButton->setEnabled(false);
    ui_->buttonStop->setEnabled(false);
}

void PlayerController::EnableControls() {
    ui_->progressSlider->setEnabled(true);
    ui_->buttonVolume->setEnabled(true);
    ui_->fullscreenButton->setEnabled(true);
    ui_->buttonStop->setEnabled(true);
    ui_->buttonPlay->setChecked(false);
}

void PlayerController::SetBusy(bool busy) {
    ui_->progressSlider->setEnabled(!busy);
    ui_->buttonVolume->setEnabled(!busy);
    ui_->fullscreenButton->setEnabled(!busy);
    ui_->buttonStop->setEnabled(!busy);
    ui_->buttonPlay->setEnabled(!busy);
}

void PlayerController::TogglePlay() {
    if (!ui_->buttonPlay->isEnabled()) return;
    ui_->buttonPlay->setChecked(!ui_->buttonPlay->isChecked());
    emit playClicked(ui_->buttonPlay->isChecked());
}

void PlayerController::SetPlaying() {
    if (!ui_->buttonPlay->isEnabled()) return;
    ui_->buttonPlay->setChecked(true);
    emit playClicked(true);
}

void PlayerController::ShowSpeedLabel(bool show) { ui_->labelSpeed->setVisible(show); }

void PlayerController::SetAdText(const QString& url, const QString& text) {
    ui_->adLabel->setText(text);
    adUrl_ = url;
}

void PlayerController::RequestStop() { emit stopClicked(); }

void PlayerController::FadeOut() {
    fade_.Start(SLOT(HideFinished()));
    CheckRecords();
}

void PlayerController::ScreenClicked() { emit screenClicked(ui_->fullscreenButton->isChecked()); }

void PlayerController::VolumeChanged(int value) {
    ui_->buttonVolume->setIcon(QIcon(QPixmap(VolumeIcon(value))));
    if (value > 0) rememberedVolume_ = value;
    emit volumeChanged(value);
}

void PlayerController::VolumeClicked() {
    // 0 is never remembered, so unmuting brings back the last audible volume.
    ui_->volumeSlider->setValue(ui_->volumeSlider->value() != 0 ? 0 : rememberedVolume_);
}

void PlayerController::PosChanged() { emit posChanged(); }

void PlayerController::SetPosRange(int max) { ui_->progressSlider->setRange(0, max); }

void PlayerController::PlayClicked() { emit playClicked(ui_->buttonPlay->isChecked()); }

void PlayerController::HideFinished() { fade_.End(); }

void PlayerController::RecordsClicked() { emit recordsClicked(ui_->recordsButton->isChecked()); }

void PlayerController::StopClicked() { emit stopClicked(); }

void PlayerController::AdClicked() {
    // The address comes from the web service: only a web page may open, in the browser.
    if (!adUrl_.isEmpty()) OpenUrlInBrowser(adUrl_);
}

bool PlayerController::eventFilter(QObject* watched, QEvent* event) {
    QSlider* slider = ui_->progressSlider;
    // Filters see mouse events before a disabled slider drops them: a stopped or busy bar
    // must not seek.
    if (watched != slider || event->type() != QEvent::MouseButtonRelease || !slider->isEnabled())
        return false;
    // A click anywhere on the bar seeks there, not a page step towards it.
    const int value = QStyle::sliderValueFromPosition(slider->minimum(), slider->maximum(),
                                                      static_cast<QMouseEvent*>(event)->x(),
                                                      slider->width(), false);
    slider->setValue(value);
    emit posChanged();
    return false;
}

void PlayerController::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (QWidget* parent = parentWidget()) parent->close();
}
