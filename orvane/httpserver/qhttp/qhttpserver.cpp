#include "qhttpserver.h"

#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>

#include "platform/socket_owner.h"
#include "qhttpconnection.h"
#include "qhttprequest.h"
#include "qhttpresponse.h"

namespace {

// Every user of the machine can reach a loopback port; the server answers the user who runs
// it alone. Another user's connection is closed as it is accepted, before a byte is read.
class OwnUserTcpServer : public QTcpServer {
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr socketDescriptor) override {
        if (!platform::TcpPeerIsOwnUser(static_cast<int>(socketDescriptor))) {
            ::close(static_cast<int>(socketDescriptor));
            return;
        }
        QTcpServer::incomingConnection(socketDescriptor);
    }
};

}  // namespace

QHttpServer::QHttpServer(QObject* parent)
    : QObject(parent), m_tcpServer(new OwnUserTcpServer(this)) {
    connect(m_tcpServer, &QTcpServer::newConnection, this, &QHttpServer::newConnection);
}

QHttpServer::~QHttpServer() { close(); }

bool QHttpServer::listen(const QHostAddress& address, quint16 port) {
    return m_tcpServer->listen(address, port);
}

void QHttpServer::close() { m_tcpServer->close(); }

void QHttpServer::newConnection() {
    while (QTcpSocket* socket = m_tcpServer->nextPendingConnection()) {
        auto* connection = new QHttpConnection(socket, m_requestTimeoutMs, this);
        connect(connection, &QHttpConnection::newRequest, this, &QHttpServer::newRequest);
    }
}
