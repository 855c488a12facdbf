// The engine's video window: a native window that mpv draws into (its id is mpv's "wid") and
// that reports mouse and key input as window messages. The host embeds it by its window id.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

namespace aplayer {

class VideoWindow : public QWidget {
    Q_OBJECT
public:
    // (message, wParam, lParam)
    using MessageSink = std::function<void(int, int, std::int32_t)>;

    VideoWindow();
    void SetMessageSink(MessageSink sink) { sink_ = std::move(sink); }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void Send(int message, int wParam, std::int32_t lParam);
    void SendMouse(int message, QMouseEvent* event);

    MessageSink sink_;
};

}  // namespace aplayer
