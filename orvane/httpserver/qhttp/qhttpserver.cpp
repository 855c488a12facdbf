#include "qhttpserver.h"

#include <QTcpServer>
#include <QTcpSocket>

#include "qhttpconnection.h"
#include "qhttprequest.h"
#include "qhttpresponse.h"

QHttpServer::QHttpServer(QObject* parent) : QObject(parent), m_tcpServer(new QTcpServer(this)) {
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
