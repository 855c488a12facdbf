#include "event_recorder.h"

#include <QCoreApplication>
#include <algorithm>

#include "testsupport/loopback.h"

namespace aplayer::test {

void EventRecorder::Record(RecordedEvent event) {
    event.thread = QThread::currentThread();
    events.push_back(event);
    if (react) react(events.back());
}

void EventRecorder::OnMessage(int message, int wParam, std::int32_t lParam) {
    Record({RecordedEvent::kMessage, message, wParam, lParam});
}
void EventRecorder::OnStateChanged(int oldState, int newState) {
    Record({RecordedEvent::kStateChanged, oldState, newState});
}
void EventRecorder::OnOpenSucceeded() { Record({RecordedEvent::kOpenSucceeded}); }
void EventRecorder::OnSeekCompleted(int positionMs) {
    Record({RecordedEvent::kSeekCompleted, positionMs});
}
void EventRecorder::OnBuffer(int percent) { Record({RecordedEvent::kBuffer, percent}); }
void EventRecorder::OnVideoSizeChanged() { Record({RecordedEvent::kVideoSize}); }

int EventRecorder::Count(RecordedEvent::Kind kind) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(),
                                          [kind](const auto& e) { return e.kind == kind; }));
}

bool EventRecorder::ReachedState(int state, std::size_t from) const {
    for (std::size_t i = from; i < events.size(); ++i)
        if (events[i].kind == RecordedEvent::kStateChanged && events[i].b == state) return true;
    return false;
}

const RecordedEvent* EventRecorder::Last(RecordedEvent::Kind kind) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
        if (it->kind == kind) return &*it;
    return nullptr;
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    return testsupport::WaitUntil(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            return condition();
        },
        limit, std::chrono::milliseconds(2));
}

void PumpFor(std::chrono::milliseconds span) {
    PumpUntil([] { return false; }, span);
}

}  // namespace aplayer::test
