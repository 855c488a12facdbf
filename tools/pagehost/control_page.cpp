#include "control_page.h"

#include <cstdio>

#include "control_site.h"

QObject* ControlPage::createPlugin(const QString& classId, const QUrl&, const QStringList& names,
                                   const QStringList& values) {
    QString error;
    ControlSite* site = ControlSite::Create(classId, names, values, error);
    if (!site) std::fprintf(stderr, "pagehost: %s\n", qUtf8Printable(error));
    return site;
}

void ControlPage::javaScriptConsoleMessage(const QString& message, int line,
                                           const QString& source) {
    std::fprintf(stderr, "pagehost: %s:%d: %s\n", qUtf8Printable(source), line,
                 qUtf8Printable(message));
}
