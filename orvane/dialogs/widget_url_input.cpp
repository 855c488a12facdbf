#include "widget_url_input.h"

#include "ui_widget_url_input.h"
#include "window_drag.h"

WidgetUrlInput::WidgetUrlInput(QWidget* parent) : QDialog(parent), ui_(new Ui::WidgetUrlInput) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    ui_->setupUi(this);
    new WindowDrag(this);
    connect(ui_->buttonOk, SIGNAL(clicked()), this, SLOT(ButtonClicked()));
    connect(ui_->buttonCancel, SIGNAL(clicked()), this, SLOT(ButtonClicked()));
    connect(ui_->buttonClose, SIGNAL(clicked()), this, SLOT(ButtonClicked()));
    ui_->editUrl->setFocus();
}

WidgetUrlInput::~WidgetUrlInput() = default;

int WidgetUrlInput::Exec() {
    ui_->labelTitle->setText(QStringLiteral("请输入视频网页地址"));
    ui_->labelComment->setText(QStringLiteral("例如：http://www.example.com/video/play.html"));
    return exec();
}

void WidgetUrlInput::ButtonClicked() {
    const QObject* from = sender();
    if (from == ui_->buttonOk) {
        url_ = ui_->editUrl->text();
        done(1);
    } else if (from == ui_->buttonCancel || from == ui_->buttonClose) {
        done(0);
    }
}
