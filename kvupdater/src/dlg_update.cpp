#include "dlg_update.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace {

// The layout is drawn in dialog units (a quarter of the average character width across, an
// eighth of the line height down), so that it grows and shrinks with the dialog's font.
class DialogUnits {
public:
    explicit DialogUnits(const QFontMetrics& metrics)
        : x_(metrics.averageCharWidth()), y_(metrics.height()) {}
    int X(int units) const { return units * x_ / 4; }
    int Y(int units) const { return units * y_ / 8; }
    QRect Rect(int left, int top, int width, int height) const {
        return QRect(X(left), Y(top), X(width), Y(height));
    }

private:
    int x_;
    int y_;
};

}  // namespace

CDlgUpdate::CDlgUpdate(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      icon_(QApplication::windowIcon().isNull()
                ? QApplication::style()->standardIcon(QStyle::SP_BrowserReload)
                : QApplication::windowIcon()),
      messageEdit_(new QPlainTextEdit(this)),
      skipButton_(new QPushButton(QStringLiteral("跳过此版本"), this)),
      upgradeButton_(new QPushButton(QStringLiteral("立即升级"), this)),
      remindButton_(new QPushButton(QStringLiteral("下次提醒"), this)) {
    setWindowTitle(QStringLiteral("升级信息"));
    setModal(true);
    const DialogUnits units(fontMetrics());
    setFixedSize(units.X(366), units.Y(103));

    messageEdit_->setReadOnly(true);
    messageEdit_->setGeometry(units.Rect(7, 7, 352, 62));
    skipButton_->setGeometry(units.Rect(183, 78, 58, 18));
    upgradeButton_->setGeometry(units.Rect(251, 78, 50, 18));
    remindButton_->setGeometry(units.Rect(309, 78, 50, 18));
    upgradeButton_->setDefault(true);
    for (QPushButton* button : {skipButton_, upgradeButton_, remindButton_}) {
        button->setAutoDefault(false);
    }
    upgradeButton_->setAutoDefault(true);

    messageEdit_->setObjectName(QStringLiteral("edit1001"));
    skipButton_->setObjectName(QStringLiteral("button1000"));
    upgradeButton_->setObjectName(QStringLiteral("button1"));
    remindButton_->setObjectName(QStringLiteral("button2"));

    connect(upgradeButton_, &QPushButton::clicked, this, [this] { done(kResultUpgrade); });
    connect(remindButton_, &QPushButton::clicked, this, [this] { done(kResultRemind); });
    connect(skipButton_, &QPushButton::clicked, this, [this] { done(kResultSkip); });
}

void CDlgUpdate::SetCaptions(const QString& skip, const QString& upgrade, const QString& remind) {
    skipCaption_ = skip;
    upgradeCaption_ = upgrade;
    remindCaption_ = remind;
}

QWidget* CDlgUpdate::Control(int id) const {
    switch (id) {
        case kIdUpgrade:
            return upgradeButton_;
        case kIdRemind:
            return remindButton_;
        case kIdSkip:
            return skipButton_;
        case kIdMessage:
            return messageEdit_;
        default:
            return nullptr;
    }
}

bool CDlgUpdate::OnInitDialog() {
    setWindowIcon(icon_);
    QString text = message_;
    messageEdit_->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    skipButton_->setVisible(showSkip_);
    if (!skipCaption_.isEmpty()) skipButton_->setText(skipCaption_);
    if (!upgradeCaption_.isEmpty()) upgradeButton_->setText(upgradeCaption_);
    if (!remindCaption_.isEmpty()) remindButton_->setText(remindCaption_);
    return true;
}

int CDlgUpdate::DoModal() {
    OnInitDialog();
    return exec();
}

void CDlgUpdate::reject() { done(kResultRemind); }
