#include "wait_dialog.h"

#include <QKeyEvent>
#include <QTimerEvent>

#include "ui_wait_dialog.h"

WaitDialog::WaitDialog(QWidget* parent) : QDialog(parent), ui_(new Ui::WaitDialog) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NativeWindow);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    ui_->setupUi(this);
}

WaitDialog::~WaitDialog() = default;

void WaitDialog::SetInfoText(const QString& text) { ui_->labelInfo->setText(text); }

void WaitDialog::CloseLater(const QString& text, int ms) {
    ui_->labelInfo->setText(text);
    startTimer(ms);
}

void WaitDialog::CloseLater(const QString& text) { CloseLater(text, 1000); }

void WaitDialog::timerEvent(QTimerEvent* event) {
    killTimer(event->timerId());
    done(1);
}

// Replaces the dialog's own placing: centred over a parent, else where it was put.
void WaitDialog::showEvent(QShowEvent*) {
    const QWidget* parent = parentWidget();
    if (!parent) return;
    const QPoint centred((parent->width() - width()) / 2, (parent->height() - height()) / 2);
    move(parent->mapToGlobal(centred));
}

void WaitDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}
