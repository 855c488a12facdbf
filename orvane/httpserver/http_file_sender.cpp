#include "http_file_sender.h"

#include <QFile>

#include "qhttpresponse.h"

namespace {

constexpr qint64 kPieceSize = 256 * 1024;

}  // namespace

HttpFileSender::HttpFileSender(std::unique_ptr<QFile> file, qint64 length, QHttpResponse* response)
    : QObject(response), m_file(std::move(file)), m_remaining(length), m_response(response) {
    connect(m_response, &QHttpResponse::allBytesWritten, this, &HttpFileSender::SendNextPiece);
}

HttpFileSender::~HttpFileSender() = default;

void HttpFileSender::Begin() { SendNextPiece(); }

void HttpFileSender::SendNextPiece() {
    if (m_response->isFinished()) return;
    if (m_remaining == 0) {
        m_response->end();
        return;
    }
    const QByteArray piece = m_file->read(qMin(kPieceSize, m_remaining));
    if (piece.isEmpty()) {
        // The file shrank or cannot be read: the announced length cannot be kept, so the
        // connection is dropped rather than leaving the client waiting for the rest.
        m_response->abort();
        return;
    }
    m_remaining -= piece.size();
    m_response->write(piece);
}
