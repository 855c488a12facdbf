// The main widget's hand-off socket: another start of the player sends a file path to
// 127.0.0.1:54331 and this player plays it.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDebug>
#include <QFile>
#include <QUdpSocket>
#include <algorithm>

#include "app_paths.h"
#include "app_values.h"
#include "orvane_widget.h"
#include "platform/regular_file.h"
#include "udp_hand_off.h"

namespace {

quint16& HandOffPort() {
    static quint16 port = kHandOffPort;
    return port;
}

// The sender of the next datagram, without taking it: its socket is looked up while the
// sender still waits for the datagram to be taken.
bool PeekSender(const QUdpSocket& socket, std::uint32_t& address, std::uint16_t& port) {
    sockaddr_in from{};
    socklen_t length = sizeof from;
    char byte = 0;
    if (::recvfrom(static_cast<int>(socket.socketDescriptor()), &byte, sizeof byte,
                   MSG_PEEK | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &length) < 0 ||
        from.sin_family != AF_INET)
        return false;
    address = ntohl(from.sin_addr.s_addr);
    port = ntohs(from.sin_port);
    return true;
}

}  // namespace

void SetHandOffPort(quint16 port) { HandOffPort() = port ? port : kHandOffPort; }

void orvane::CreateHandOffSocket() {
    udpSocket_ = new QUdpSocket(this);
    if (!udpSocket_->bind(QHostAddress::LocalHost, HandOffPort()))
        // Another player has the port: this one goes on without hand-offs.
        qDebug().noquote() << QString(
                                  "UDP 127.0.0.1:%1 not bound (%2): this player takes no "
                                  "hand-offs")
                                  .arg(HandOffPort())
                                  .arg(udpSocket_->errorString());
    connect(udpSocket_, &QUdpSocket::readyRead, this, &orvane::ReadPendingDatagrams);
}

void orvane::ReadPendingDatagrams() {
    if (!udpSocket_->hasPendingDatagrams()) return;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    const bool ours = PeekSender(*udpSocket_, address, port) && SentByUser(address, port, getuid());
    QByteArray datagram(static_cast<int>(std::max<qint64>(udpSocket_->pendingDatagramSize(), 0)),
                        '\0');
    udpSocket_->readDatagram(datagram.data(), datagram.size());
    // One user must not make another user's player open files.
    if (!ours) {
        qDebug() << "hand-off from another user's socket ignored";
        return;
    }
    SetAppValue("videoPath", QString::fromUtf8(datagram));
    const QString path = AppValue("videoPath").toString();
    show();
    // Only a regular file plays: a device would feed the player without end, and a FIFO would
    // keep this thread waiting for a writer.
    const platform::RegularFile file(QFile::encodeName(path).toStdString());
    if (file.IsOpen()) {
        PlayVideo({{"type", 6}, {"url", path}});
        return;
    }
    if (PathExists(path))
        qDebug().noquote() << "hand-off of" << path << "refused:" << file.Error().c_str();
    setFocus();
    activateWindow();
}
