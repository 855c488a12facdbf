// One request as the parser saw it: method, URL, version and headers (names lower-cased).
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QString>
#include <QUrl>

class QHttpRequest : public QObject {
    Q_OBJECT

public:
    explicit QHttpRequest(QObject* parent = nullptr) : QObject(parent) {}

    const QString& method() const { return m_method; }
    const QUrl& url() const { return m_url; }
    // The percent-decoded path of the request target, without the query.
    const QString& path() const { return m_path; }
    const QString& httpVersion() const { return m_version; }
    const QMap<QByteArray, QByteArray>& headers() const { return m_headers; }
    QByteArray header(const QByteArray& name) const { return m_headers.value(name.toLower()); }
    bool hasHeader(const QByteArray& name) const { return m_headers.contains(name.toLower()); }
    // The server's own end of the connection the request came on.
    const QHostAddress& localAddress() const { return m_localAddress; }
    quint16 localPort() const { return m_localPort; }

private:
    friend class QHttpConnection;
    QString m_method;
    QUrl m_url;
    QString m_path;
    QString m_version;
    QMap<QByteArray, QByteArray> m_headers;
    QHostAddress m_localAddress;
    quint16 m_localPort = 0;
};
