#include "qhttpresponse.h"

#include <QDebug>
#include <QTcpSocket>

namespace {

QByteArray ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 206:
            return "Partial Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 304:
            return "Not Modified";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Unknown";
    }
}

}  // namespace

QHttpResponse::QHttpResponse(QTcpSocket* socket, bool keepAlive, bool http11, bool headOnly,
                             QObject* parent)
    : QObject(parent),
      m_socket(socket),
      m_keepAlive(keepAlive),
      m_http11(http11),
      m_headOnly(headOnly) {
    connect(m_socket, &QTcpSocket::bytesWritten, this, &QHttpResponse::socketBytesWritten);
}

void QHttpResponse::setHeader(const QByteArray& field, const QByteArray& value) {
    if (m_headWritten) {
        qWarning() << "QHttpResponse: header set after the head was written";
        return;
    }
    m_headers.append({field, value});
}

bool QHttpResponse::hasHeader(const QByteArray& field) const {
    for (const auto& header : m_headers)
        if (header.first.compare(field, Qt::CaseInsensitive) == 0) return true;
    return false;
}

void QHttpResponse::writeHead(int status) {
    if (m_headWritten || m_finished) {
        qWarning() << "QHttpResponse: head written twice";
        return;
    }
    if (!hasHeader("Content-Length") && !m_headOnly) {
        // The end of the body must be told somehow: by chunks, or by closing.
        if (m_keepAlive && m_http11)
            m_chunked = true;
        else
            m_keepAlive = false;
    }
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
    for (const auto& header : m_headers) head += header.first + ": " + header.second + "\r\n";
    if (m_chunked) head += "Transfer-Encoding: chunked\r\n";
    if (!hasHeader("Connection"))
        head += m_keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    m_headWritten = true;
    writeRaw(head);
}

void QHttpResponse::write(const QByteArray& data) {
    if (!m_headWritten || m_finished) {
        qWarning() << "QHttpResponse: body written outside head and end";
        return;
    }
    if (m_headOnly || data.isEmpty()) return;
    if (m_chunked)
        writeRaw(QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n");
    else
        writeRaw(data);
}

void QHttpResponse::end(const QByteArray& data) {
    if (m_finished) return;
    if (!m_headWritten) writeHead(200);
    write(data);
    if (m_chunked && !m_headOnly) writeRaw("0\r\n\r\n");
    m_finished = true;
    emit done();
}

void QHttpResponse::abort() {
    if (m_finished) return;
    m_keepAlive = false;
    m_finished = true;
    m_socket->abort();
    emit done();
}

qint64 QHttpResponse::bytesToWrite() const { return m_socket->bytesToWrite(); }

void QHttpResponse::writeRaw(const QByteArray& bytes) { m_socket->write(bytes); }

void QHttpResponse::socketBytesWritten() {
    if (!m_finished && m_socket->bytesToWrite() == 0) emit allBytesWritten();
}
