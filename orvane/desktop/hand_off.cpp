#include "hand_off.h"

#include <netinet/in.h>
#include <unistd.h>

#include <QByteArray>
#include <cstdlib>
#include <string>
#include <thread>

#include "udp_hand_off.h"

std::uint16_t DesktopHandOffPort() {
    const QByteArray text = qgetenv("ORVANE_HAND_OFF_PORT");
    bool ok = false;
    const uint port = text.toUInt(&ok);
    return ok && port > 0 && port <= 0xFFFF ? static_cast<std::uint16_t>(port) : kHandOffPort;
}

bool HandOffToPlayer(const QString& path, std::uint16_t port, QString& error,
                     std::chrono::milliseconds startLimit) {
    const auto deadline = std::chrono::steady_clock::now() + startLimit;
    while (!LoopbackReceiveQueue(port) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The sockets that can receive at 127.0.0.1:port are looked up as a sender's would be.
    if (!LoopbackReceiveQueue(port)) {
        error = QStringLiteral("no player listens on 127.0.0.1:%1").arg(port);
        return false;
    }
    if (!SentByUser(INADDR_LOOPBACK, port, getuid())) {
        error = QStringLiteral("127.0.0.1:%1 belongs to another user's player").arg(port);
        return false;
    }
    std::string reason;
    if (HandOffToRunningPlayer(path.toStdString(), reason, port)) return true;
    error = QString::fromStdString(reason);
    return false;
}
