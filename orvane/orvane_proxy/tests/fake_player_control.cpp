// A stand-in player control with the real one's class id, for the host program's tests. It
// logs what the host asks of it to $ORVANE_FAKE_PLAYER_LOG ("created", "setOvUrl <url>",
// "destroyed"), answers getState with the text of $ORVANE_FAKE_PLAYER_STATE ("0" while that
// file is missing), and runs a fast timer of its own, as a real player does.
#include <QFile>
#include <QPainter>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "activex/factory_list.h"
#include "activex/server.h"

namespace {

void Log(const QByteArray& line) {
    QFile file(QString::fromLocal8Bit(std::getenv("ORVANE_FAKE_PLAYER_LOG")));
    if (file.open(QIODevice::Append)) file.write(line + '\n');
}

}  // namespace

class FakePlayerControl : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("ClassID", "{14DACFF5-4B08-494b-A580-25F2ED930DA7}")
    Q_CLASSINFO("InterfaceID", "{5382D836-B741-49a6-9D82-3A8BCFB62D31}")

public:
    explicit FakePlayerControl(QWidget* parent) : QWidget(parent) {
        Log("created");
        startTimer(5);
    }
    ~FakePlayerControl() override { Log("destroyed"); }

public slots:
    void setOvUrl(QString url) { Log("setOvUrl " + url.toUtf8()); }
    QString getState() {
        QFile file(QString::fromLocal8Bit(std::getenv("ORVANE_FAKE_PLAYER_STATE")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "0";
    }

protected:
    void timerEvent(QTimerEvent*) override {}
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::darkGreen); }
};

namespace {

std::unique_ptr<ax::FactoryList> MakeFactoryList() {
    auto list =
        std::make_unique<ax::FactoryList>(com::MakeGuid("{0BCE7C23-F434-4670-9920-EECF52B68060}"),
                                          com::MakeGuid("{9970AB00-EFAB-429f-A717-0BF205A0DC46}"));
    list->addClass<FakePlayerControl>();
    return list;
}

}  // namespace

ORVANE_AX_SERVER(MakeFactoryList)

#include "fake_player_control.moc"
