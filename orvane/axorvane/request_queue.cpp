#include "request_queue.h"

#include <QDebug>
#include <algorithm>

#include "web_requests.h"

namespace {

QByteArray Start(const std::string& request) {
    return QByteArray::fromStdString(request.substr(0, 64));
}

}  // namespace

void RequestQueue::SendOrQueue(std::string request) { Send({std::move(request), std::nullopt}); }

void RequestQueue::SendOrQueueSetUrl(std::int32_t win, std::string request) {
    // One that Send drops for its length leaves the waiting one of its window in place.
    if (FitsPipe(request))
        waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                      [win](const Waiting& w) { return w.setUrlWin == win; }),
                       waiting_.end());
    Send({std::move(request), win});
}

void RequestQueue::Send(Waiting request) {
    if (!FitsPipe(request.text)) {
        qDebug() << "axorvane: a request of" << request.text.size()
                 << "bytes does not fit the pipe and is dropped:" << Start(request.text);
        return;
    }
    if (!PipeExchange(request.text)) Queue(std::move(request));
}

void RequestQueue::Queue(Waiting request) {
    if (waiting_.size() >= kMaxWaiting) {
        const auto oldestSetUrl = std::find_if(waiting_.begin(), waiting_.end(),
                                               [](const Waiting& w) { return w.setUrlWin; });
        const bool replaceable = oldestSetUrl != waiting_.end();
        qDebug() << "axorvane: queue full, dropped:"
                 << Start(replaceable ? oldestSetUrl->text : request.text);
        if (!replaceable) return;
        waiting_.erase(oldestSetUrl);
    }
    waiting_.push_back(std::move(request));
}

void RequestQueue::SendOldest() {
    if (waiting_.empty()) return;
    if (PipeExchange(waiting_.front().text)) waiting_.pop_front();
}
