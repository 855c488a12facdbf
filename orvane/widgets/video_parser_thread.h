// A thread class kept for a video parser that has no work yet: its body returns at once.
#pragma once

#include <QString>
#include <QThread>

class VideoParserThread : public QThread {
    Q_OBJECT

public:
    explicit VideoParserThread(QObject* parent = nullptr);

    void SetType(int type) { type_ = type; }
    void SetUrl(const QString& url) { url_ = url; }

protected:
    void run() override {}

private:
    int type_ = 0;
    QString url_;
};
