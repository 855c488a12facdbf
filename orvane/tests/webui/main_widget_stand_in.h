// Takes the calls that the loading page and the update watcher's callback make on the main
// widget by name, and records them. In place of the main widget while it lives.
#pragma once

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include "main_widget_calls.h"

class MainWidgetStandIn : public QWidget {
    Q_OBJECT

public:
    MainWidgetStandIn() { SetMainWidgetStandInForTesting(this); }
    ~MainWidgetStandIn() override { SetMainWidgetStandInForTesting(nullptr); }

    Q_INVOKABLE void SwitchToWebPage() {
        ++switches;
        switchedAfterMs = clock.isValid() ? clock.elapsed() : -1;
    }
    Q_INVOKABLE bool IsUpdate() {
        ++asked;
        askedOn = QThread::currentThread();
        return answer;
    }

    QElapsedTimer clock;  // started by the test
    int switches = 0;
    qint64 switchedAfterMs = -1;
    bool answer = false;
    int asked = 0;
    QThread* askedOn = nullptr;
    int closes = 0;

protected:
    void closeEvent(QCloseEvent* event) override {
        ++closes;
        event->accept();
    }
};
