// Records the engine's events (with the thread each arrived on) for the tests, and waits for
// them while the application's event loop runs.
#pragma once

#include <QThread>
#include <chrono>
#include <functional>
#include <vector>

#include "engine_events.h"

namespace aplayer::test {

struct RecordedEvent {
    enum Kind { kMessage, kStateChanged, kOpenSucceeded, kSeekCompleted, kBuffer, kVideoSize };
    Kind kind;
    int a = 0;
    int b = 0;
    int c = 0;
    QThread* thread = nullptr;
};

class EventRecorder : public EngineEvents {
public:
    void OnMessage(int message, int wParam, std::int32_t lParam) override;
    void OnStateChanged(int oldState, int newState) override;
    void OnOpenSucceeded() override;
    void OnSeekCompleted(int positionMs) override;
    void OnBuffer(int percent) override;
    void OnVideoSizeChanged() override;

    // Called after each event is recorded (for example to start playing once opened).
    std::function<void(const RecordedEvent&)> react;

    std::vector<RecordedEvent> events;

    int Count(RecordedEvent::Kind kind) const;
    // True once an OnStateChanged to `state` was recorded at or after index `from`.
    bool ReachedState(int state, std::size_t from = 0) const;
    const RecordedEvent* Last(RecordedEvent::Kind kind) const;

private:
    void Record(RecordedEvent event);
};

// Runs the event loop until `condition` holds or `limit` passes; answers the last result.
// The limit only bounds a wait that never ends well: a loaded machine may take many seconds
// to open a file.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(60));
// Runs the event loop for `span`.
void PumpFor(std::chrono::milliseconds span);

}  // namespace aplayer::test
