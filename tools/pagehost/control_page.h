// A page whose <object type="application/x-qt-plugin" classid="..."> elements are controls
// made through the component layer. Script messages go to the error stream.
#pragma once

#include <QWebPage>

class ControlPage : public QWebPage {
    Q_OBJECT
public:
    using QWebPage::QWebPage;

protected:
    QObject* createPlugin(const QString& classId, const QUrl& url, const QStringList& names,
                          const QStringList& values) override;
    void javaScriptConsoleMessage(const QString& message, int line, const QString& source) override;
};
