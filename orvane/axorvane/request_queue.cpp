#include "request_queue.h"

#include <QDebug>

#include "web_requests.h"

void RequestQueue::SendOrQueue(std::string request) {
    if (!FitsPipe(request)) {
        qDebug() << "axorvane: a request of" << request.size()
                 << "bytes does not fit the pipe and is dropped:"
                 << QByteArray::fromStdString(request.substr(0, 64));
        return;
    }
    if (!PipeExchange(request)) waiting_.push_back(std::move(request));
}

void RequestQueue::SendOldest() {
    if (waiting_.empty()) return;
    if (PipeExchange(waiting_.front())) waiting_.pop_front();
}
