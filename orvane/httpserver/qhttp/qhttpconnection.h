// One client connection: feeds the socket's bytes to the HTTP parser and answers its
// requests one after the other. Bytes of a further request wait in the socket until the
// current response has ended. A connection whose request is not complete within the request
// time-out (counted from its opening, or from the end of the previous answer) is closed, so
// that clients which send nothing, or a byte now and then, cannot hold connections open.
#pragma once

#include <http_parser.h>

#include <QByteArray>
#include <QObject>
#include <QPointer>

class QTcpSocket;
class QTimer;
class QHttpRequest;
class QHttpResponse;

class QHttpConnection : public QObject {
    Q_OBJECT

public:
    QHttpConnection(QTcpSocket* socket, int requestTimeoutMs, QObject* parent);
    ~QHttpConnection() override;

signals:
    void newRequest(QHttpRequest* request, QHttpResponse* response);

private slots:
    void parse();
    void responseDone();
    void requestTimedOut();

private:
    static int onMessageBegin(http_parser* parser);
    static int onUrl(http_parser* parser, const char* at, size_t length);
    static int onHeaderField(http_parser* parser, const char* at, size_t length);
    static int onHeaderValue(http_parser* parser, const char* at, size_t length);
    static int onHeadersComplete(http_parser* parser);
    static int onMessageComplete(http_parser* parser);
    void storeHeader();

    QTcpSocket* m_socket;
    QTimer* m_requestTimer;
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
