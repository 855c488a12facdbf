#include "http_server.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "http_file_sender.h"
#include "platform/page_request.h"
#include "platform/regular_file.h"
#include "qhttprequest.h"
#include "qhttpresponse.h"
#include "qhttpserver.h"

namespace {

const QString kBtRoot = QStringLiteral("/btroot/");

HttpServer g_httpServer;

void AnswerBadRequest(QHttpResponse* resp) {
    resp->writeHead(400);
    resp->end();
}

void AnswerForbidden(QHttpResponse* resp) {
    resp->writeHead(403);
    resp->end();
}

// "127.0.0.1", "localhost" or "[::1]", each with any port or none.
bool IsLoopbackHost(const QByteArray& header) {
    const QByteArray host = header.trimmed().toLower();
    int portAt = host.lastIndexOf(':');
    if (host.startsWith('[')) portAt = host.indexOf(']') + 1;  // IPv6 names hold colons
    const QByteArray name = portAt < 0 ? host : host.left(portAt);
    if (name != "127.0.0.1" && name != "localhost" && name != "[::1]") return false;
    if (portAt < 0 || portAt == host.size()) return true;
    const QByteArray port = host.mid(portAt);
    if (port.size() > 6 || port[0] != ':') return false;
    return std::all_of(port.begin() + 1, port.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::string> HeaderValue(const QHttpRequest* req, const QByteArray& name) {
    if (!req->hasHeader(name)) return std::nullopt;
    return req->header(name).toStdString();
}

// A page in a browser names this server too; only the player's own clients may read here.
bool IsWebPageRequest(const QHttpRequest* req) {
    const QHostAddress& local = req->localAddress();
    const QString host = local.protocol() == QAbstractSocket::IPv6Protocol
                             ? "[" + local.toString() + "]"
                             : local.toString();
    return platform::IsWebPageRequest(HeaderValue(req, "origin"), HeaderValue(req, "referer"),
                                      HeaderValue(req, "user-agent"), host.toStdString(),
                                      req->localPort());
}

}  // namespace

HttpServer& TheHttpServer() { return g_httpServer; }

HttpServer::HttpServer(QObject* parent)
    : QObject(parent), m_requestTimeoutMs(QHttpServer::kDefaultRequestTimeoutMs) {
    m_mimeTypes.insert(".htm", "text/html");
    m_mimeTypes.insert(".html", "text/html");
    m_mimeTypes.insert(".css", "text/css");
    m_mimeTypes.insert(".png", "image/png");
    m_mimeTypes.insert(".gif", "image/gif");
    m_mimeTypes.insert(".jpg", "image/jpeg");
    m_mimeTypes.insert(".jpeg", "image/jpeg");
    m_mimeTypes.insert(".js", "application/x-javascript");
}

HttpServer::~HttpServer() { Stop(); }

int HttpServer::Start(int firstPort, int lastPort, const QString& root) {
    m_root = root;
    if (m_listener) {
        // The old listener stops accepting; its open connections finish on their own.
        m_listener->close();
        m_listener = nullptr;
    }
    m_listener = new QHttpServer(this);
    m_listener->setRequestTimeout(m_requestTimeoutMs);
    connect(m_listener, &QHttpServer::newRequest, this, &HttpServer::handleRequest);
    if (firstPort > lastPort) return 0;
    for (int port = qMax(firstPort, 1); port <= qMin(lastPort, 65535); ++port) {
        if (m_listener->listen(QHostAddress::LocalHost, static_cast<quint16>(port))) return port;
    }
    return 0;
}

bool HttpServer::Publish(const QString& path) {
    if (!platform::RegularFile(QFile::encodeName(path).toStdString()).IsOpen()) return false;
    m_published.insert(path);
    return true;
}

void HttpServer::Stop() {
    m_listener = nullptr;
    // Every listener made so far goes, with its connections.
    qDeleteAll(findChildren<QHttpServer*>(QString(), Qt::FindDirectChildrenOnly));
}

QString HttpServer::ContentType(const QString& path) const {
    const int dot = path.lastIndexOf('.');
    if (dot < 0) return QStringLiteral("application/octet-stream");
    return m_mimeTypes.value(path.mid(dot), QStringLiteral("application/octet-stream"));
}

QString HttpServer::WebFilePath(const QString& path) const {
    const QFileInfo root(m_root);
    if (m_root.isEmpty() || !root.isDir() || path.contains(QChar(0))) return {};
    QString rootPath = root.canonicalFilePath();
    if (!rootPath.endsWith('/')) rootPath += '/';
    // Whatever the path says ("..", a second "/", links), the file must lie inside the root.
    const QString file = QFileInfo(QDir(m_root).filePath(path.mid(1))).canonicalFilePath();
    if (file.isEmpty() || !file.startsWith(rootPath)) return {};
    return file;
}

QString HttpServer::PublishedFilePath(const QString& path) const {
    const QString encoded = path.mid(kBtRoot.size());
    if (encoded.isEmpty()) return {};
    const auto decoded = QByteArray::fromBase64Encoding(
        encoded.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return {};
    const QString file = QString::fromUtf8(*decoded);
    return m_published.contains(file) ? file : QString();
}

void HttpServer::handleRequest(QHttpRequest* req, QHttpResponse* resp) {
    if (!IsLoopbackHost(req->header("host")) || IsWebPageRequest(req)) return AnswerForbidden(resp);
    const QString path = req->path();
    const QString type = ContentType(path);
    const QString fileName = path.startsWith(kBtRoot) ? PublishedFilePath(path) : WebFilePath(path);
    if (fileName.isEmpty()) return AnswerBadRequest(resp);

    // Whatever the name names by now: only a regular file is served, never a device or a FIFO
    // swapped in after it was published.
    platform::RegularFile opened(QFile::encodeName(fileName).toStdString());
    if (!opened.IsOpen()) return AnswerBadRequest(resp);
    const qint64 length = opened.Size();
    auto file = std::make_unique<QFile>();
    const int fd = opened.Release();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return AnswerBadRequest(resp);
    }

    resp->setHeader("Content-Type", type.toLatin1());
    resp->setHeader("Content-Length", QByteArray::number(length));
    resp->writeHead(200);
    if (req->method() == QLatin1String("HEAD")) {
        resp->end();
        return;
    }
    auto* sender = new HttpFileSender(std::move(file), length, resp);
    sender->Begin();
}
