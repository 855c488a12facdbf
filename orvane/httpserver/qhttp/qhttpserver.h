// A small HTTP/1.1 server in the style of qhttpserver: a listener that turns every complete
// request into a request and a response object and hands both out with newRequest(). It takes
// connections from sockets of its own user alone (platform/socket_owner.h).
#pragma once

#include <QHostAddress>
#include <QObject>

class QTcpServer;
class QHttpRequest;
class QHttpResponse;

class QHttpServer : public QObject {
    Q_OBJECT

public:
    explicit QHttpServer(QObject* parent = nullptr);
    ~QHttpServer() override;

    // How long a connection may take to deliver a complete request (see QHttpConnection);
    // applies to connections accepted from now on.
    static constexpr int kDefaultRequestTimeoutMs = 10000;
    void setRequestTimeout(int ms) { m_requestTimeoutMs = ms; }

    bool listen(const QHostAddress& address, quint16 port);
    // Stops accepting; connections already open go on until their clients leave.
    void close();

signals:
    // The request and the response belong to the connection; the response must be ended.
    void newRequest(QHttpRequest* request, QHttpResponse* response);

private slots:
    void newConnection();

private:
    QTcpServer* m_tcpServer;
    int m_requestTimeoutMs = kDefaultRequestTimeoutMs;
};
