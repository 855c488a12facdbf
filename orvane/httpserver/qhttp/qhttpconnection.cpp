#include "qhttpconnection.h"

#include <QTcpSocket>
#include <QTimer>
#include <cstdint>
#include <limits>

#include "qhttprequest.h"
#include "qhttpresponse.h"

namespace {

QHttpConnection* Self(http_parser* parser) { return static_cast<QHttpConnection*>(parser->data); }

}  // namespace

QHttpConnection::QHttpConnection(QTcpSocket* socket, int requestTimeoutMs, QObject* parent)
    : QObject(parent), m_socket(socket), m_requestTimer(new QTimer(this)) {
    m_socket->setParent(this);
    m_requestTimer->setSingleShot(true);
    m_requestTimer->setInterval(requestTimeoutMs);
    connect(m_requestTimer, &QTimer::timeout, this, &QHttpConnection::requestTimedOut);
    m_requestTimer->start();
    // Bytes of a further request wait in the kernel, not in memory, while an answer runs.
    m_socket->setReadBufferSize(64 * 1024);
    http_parser_init(&m_parser, HTTP_REQUEST);
    m_parser.data = this;
    http_parser_settings_init(&m_settings);
    m_settings.on_message_begin = onMessageBegin;
    m_settings.on_url = onUrl;
    m_settings.on_header_field = onHeaderField;
    m_settings.on_header_value = onHeaderValue;
    m_settings.on_headers_complete = onHeadersComplete;
    m_settings.on_message_complete = onMessageComplete;
    connect(m_socket, &QTcpSocket::readyRead, this, &QHttpConnection::parse);
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    if (m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, "parse", Qt::QueuedConnection);
}

QHttpConnection::~QHttpConnection() {
    // The response may still hold the socket; let it go before the socket does.
    delete m_response.data();
    delete m_request.data();
}

void QHttpConnection::parse() {
    if (m_response) return;
    const QByteArray data = m_unparsed + m_socket->readAll();
    m_unparsed.clear();
    if (data.isEmpty()) return;
    const size_t parsed = http_parser_execute(&m_parser, &m_settings, data.constData(),
                                              static_cast<size_t>(data.size()));
    const auto error = HTTP_PARSER_ERRNO(&m_parser);
    if (error == HPE_PAUSED) {
        // Parsing stopped after a complete request; the rest waits for its answer.
        m_unparsed = data.mid(static_cast<int>(parsed));
        http_parser_pause(&m_parser, 0);
    } else if (error != HPE_OK) {
        m_socket->abort();
        deleteLater();
        return;
    }
    if (!m_messageComplete) return;
    m_messageComplete = false;
    m_requestTimer->stop();
    QHttpRequest* request = m_request;
    const bool http11 =
        m_parser.http_major > 1 || (m_parser.http_major == 1 && m_parser.http_minor >= 1);
    m_response = new QHttpResponse(m_socket, m_keepAlive, http11,
                                   request->method() == QLatin1String("HEAD"), this);
    connect(m_response, &QHttpResponse::done, this, &QHttpConnection::responseDone,
            Qt::QueuedConnection);
    emit newRequest(request, m_response);
}

void QHttpConnection::responseDone() {
    const bool keepAlive = m_response && m_response->keepAlive();
    if (m_response) m_response->deleteLater();
    if (m_request) m_request->deleteLater();
    m_response = nullptr;
    m_request = nullptr;
    if (!keepAlive) {
        m_socket->disconnectFromHost();
        if (m_socket->state() == QAbstractSocket::UnconnectedState) deleteLater();
        return;
    }
    m_requestTimer->start();
    parse();
}

void QHttpConnection::requestTimedOut() {
    if (m_response) return;  // an answer is under way; the request was complete
    m_socket->abort();
    deleteLater();
}

int QHttpConnection::onMessageBegin(http_parser* parser) {
    QHttpConnection* self = Self(parser);
    if (self->m_request) self->m_request->deleteLater();
    self->m_request = new QHttpRequest(self);
    self->m_url.clear();
    self->m_field.clear();
    self->m_value.clear();
    return 0;
}

int QHttpConnection::onUrl(http_parser* parser, const char* at, size_t length) {
    Self(parser)->m_url.append(at, static_cast<int>(length));
    return 0;
}

int QHttpConnection::onHeaderField(http_parser* parser, const char* at, size_t length) {
    QHttpConnection* self = Self(parser);
    if (!self->m_value.isEmpty()) self->storeHeader();
    self->m_field.append(at, static_cast<int>(length));
    return 0;
}

int QHttpConnection::onHeaderValue(http_parser* parser, const char* at, size_t length) {
    Self(parser)->m_value.append(at, static_cast<int>(length));
    return 0;
}

void QHttpConnection::storeHeader() {
    if (!m_field.isEmpty() && m_request) m_request->m_headers.insert(m_field.toLower(), m_value);
    m_field.clear();
    m_value.clear();
}

int QHttpConnection::onHeadersComplete(http_parser* parser) {
    QHttpConnection* self = Self(parser);
    self->storeHeader();
    QHttpRequest* request = self->m_request;
    if (!request) return 1;
    request->m_method =
        QString::fromLatin1(http_method_str(static_cast<http_method>(parser->method)));
    request->m_version = QString("%1.%2").arg(parser->http_major).arg(parser->http_minor);
    request->m_localAddress = self->m_socket->localAddress();
    request->m_localPort = self->m_socket->localPort();
    // The parser splits the request target; QUrl alone would read "//host/x" as an authority.
    // Its parts are located by 16-bit offsets and lengths, so a longer target would come back
    // cut to a shorter path: such a request keeps an empty path, which names no file.
    http_parser_url parts;
    http_parser_url_init(&parts);
    if (self->m_url.size() <= std::numeric_limits<uint16_t>::max() &&
        http_parser_parse_url(self->m_url.constData(), static_cast<size_t>(self->m_url.size()), 0,
                              &parts) == 0) {
        if (parts.field_set & (1 << UF_PATH)) {
            const QByteArray path =
                self->m_url.mid(parts.field_data[UF_PATH].off, parts.field_data[UF_PATH].len);
            request->m_path = QUrl::fromPercentEncoding(path);
        }
    }
    request->m_url = QUrl::fromEncoded(self->m_url, QUrl::TolerantMode);
    return 0;
}

int QHttpConnection::onMessageComplete(http_parser* parser) {
    QHttpConnection* self = Self(parser);
    self->m_keepAlive = http_should_keep_alive(parser) != 0;
    self->m_messageComplete = true;
    http_parser_pause(parser, 1);
    return 0;
}
