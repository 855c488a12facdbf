// One client connection: feeds the socket's bytes to the HTTP parser and answers its
// requests one after the other. Bytes of a further request wait in the socket until the
// current response has ended.
#pragma once

#include <http_parser.h>

#include <QByteArray>
#include <QObject>
#include <QPointer>

class QTcpSocket;
class QHttpRequest;
class QHttpResponse;

class QHttpConnection : public QObject {
    Q_OBJECT

public:
    QHttpConnection(QTcpSocket* socket, QObject* parent);
    ~QHttpConnection() override;

signals:
    void newRequest(QHttpRequest* request, QHttpResponse* response);

private slots:
    void parse();
    void responseDone();

private:
    static int onMessageBegin(http_parser* parser);
    static int onUrl(http_parser* parser, const char* at, size_t length);
    static int onHeaderField(http_parser* parser, const char* at, size_t length);
    static int onHeaderValue(http_parser* parser, const char* at, size_t length);
    static int onHeadersComplete(http_parser* parser);
    static int onMessageComplete(http_parser* parser);
    void storeHeader();

    QTcpSocket* m_socket;
    http_parser m_parser;
    http_parser_settings m_settings;
    QByteArray m_unparsed;

    QPointer<QHttpRequest> m_request;    // being parsed
    QPointer<QHttpResponse> m_response;  // being answered
    QByteArray m_url;
    QByteArray m_field;
    QByteArray m_value;
    bool m_messageComplete = false;
    bool m_keepAlive = false;
};
