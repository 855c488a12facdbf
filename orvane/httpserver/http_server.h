// The local file HTTP server on 127.0.0.1: the "web" folder beside the control library, and
// under "/btroot/" + Base64 of an absolute path, the files the player has published.
// Only requests addressed to a loopback name are answered: a web page whose own name has
// been pointed at 127.0.0.1 (DNS rebinding) gets 403 and reads nothing. So does any request a
// page makes a browser send here (an Origin header, or a Referer of another origin): the
// published files are the user's, and only the player's own clients may read them.
#pragma once

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

class QHttpServer;
class QHttpRequest;
class QHttpResponse;

class HttpServer : public QObject {
    Q_OBJECT

public:
    explicit HttpServer(QObject* parent = nullptr);
    ~HttpServer() override;

    // Listens on the first port from `firstPort` to `lastPort` that can be bound and answers
    // it; 0 when none can (at once when the range is empty). A listener of an earlier start
    // is closed first. `root` is the folder whose files are served.
    int Start(int firstPort, int lastPort, const QString& root);

    // Lets "/btroot/" + Base64 of the UTF-8 of `path` serve that file. Only regular files
    // can be published; false for anything else.
    bool Publish(const QString& path);

    // Closes the listener, if any.
    void Stop();

    // How long a connection may take to deliver a complete request before it is closed, for
    // listeners started from now on.
    void SetRequestTimeout(int ms) { m_requestTimeoutMs = ms; }

private slots:
    void handleRequest(QHttpRequest* req, QHttpResponse* resp);

private:
    QString ContentType(const QString& path) const;
    QString WebFilePath(const QString& path) const;
    QString PublishedFilePath(const QString& path) const;

    QHttpServer* m_listener = nullptr;
    QString m_root;
    QMap<QString, QString> m_mimeTypes;
    QSet<QString> m_published;
    int m_requestTimeoutMs;
};

// The process's one server, which the control start-up starts.
HttpServer& TheHttpServer();
