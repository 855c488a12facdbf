// The answer to one request: head (status and headers) first, then the body in one or more
// writes, then end(). Without a Content-Length header the body goes chunked on a persistent
// HTTP/1.1 connection, otherwise the connection closes after it. A HEAD request gets the
// head only.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>

class QTcpSocket;

class QHttpResponse : public QObject {
    Q_OBJECT

public:
    void setHeader(const QByteArray& field, const QByteArray& value);
    void writeHead(int status);
    void write(const QByteArray& data);
    void end(const QByteArray& data = QByteArray());
    // Gives up on the answer and drops the connection.
    void abort();

    // Body bytes handed to write() that have not reached the socket's peer yet.
    qint64 bytesToWrite() const;
    bool isFinished() const { return m_finished; }
    bool keepAlive() const { return m_keepAlive; }

signals:
    // Everything written so far has gone out: a good moment to write the next piece.
    void allBytesWritten();
    // end() was called and the answer is complete.
    void done();

private:
    friend class QHttpConnection;
    QHttpResponse(QTcpSocket* socket, bool keepAlive, bool http11, bool headOnly, QObject* parent);
    void writeRaw(const QByteArray& bytes);
    void socketBytesWritten();
    bool hasHeader(const QByteArray& field) const;

    QTcpSocket* m_socket;
    bool m_keepAlive;
    bool m_http11;
    bool m_headOnly;
    bool m_headWritten = false;
    bool m_chunked = false;
    bool m_finished = false;
    QList<QPair<QByteArray, QByteArray>> m_headers;
};
