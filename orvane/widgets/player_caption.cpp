#include "player_caption.h"

#include "ui_player_caption.h"

PlayerCaption::PlayerCaption(QWidget* parent)
    : QWidget(parent), ui_(new Ui::PlayerCaption), fade_(this) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    ui_->setupUi(this);
}

PlayerCaption::~PlayerCaption() = default;

void PlayerCaption::SetTitleText(const QString& text) { ui_->labelTitle->setText(text); }

void PlayerCaption::SetInfoText(const QString& text) { ui_->labelInfo->setText(text); }

void PlayerCaption::ShowInfo() { ui_->labelInfo->show(); }

void PlayerCaption::HideInfo() { ui_->labelInfo->hide(); }

void PlayerCaption::HideInfo(bool) { HideInfo(); }

void PlayerCaption::FadeOut() { fade_.Start(SLOT(HideFinished())); }

void PlayerCaption::CloseClicked() { emit closeClicked(); }

void PlayerCaption::InfoClicked() {}

void PlayerCaption::HideFinished() { fade_.End(); }

void PlayerCaption::TopClicked() {}
