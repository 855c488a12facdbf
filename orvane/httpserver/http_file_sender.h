// Sends an opened file as the body of a response, one piece at a time as the socket drains,
// so a large file is never held in memory whole.
#pragma once

#include <QObject>
#include <memory>

class QFile;
class QHttpResponse;

class HttpFileSender : public QObject {
    Q_OBJECT

public:
    // Takes the file; lives as a child of `response` and ends it after `length` bytes, the
    // length its head announced.
    HttpFileSender(std::unique_ptr<QFile> file, qint64 length, QHttpResponse* response);
    ~HttpFileSender() override;

    void Begin();

private slots:
    void SendNextPiece();

private:
    std::unique_ptr<QFile> m_file;
    qint64 m_remaining;
    QHttpResponse* m_response;
};
