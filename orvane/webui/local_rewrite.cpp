#include "local_rewrite.h"

#include <QRegularExpression>
#include <QUrl>

#include "app_paths.h"

namespace {

bool StaysAsItIs(const QString& value) {
    for (const char* prefix : {"http", "javascript", "#"})
        if (value.startsWith(QLatin1String(prefix), Qt::CaseInsensitive)) return true;
    return false;
}

QString RewriteAttribute(const QString& html, const QString& attribute) {
    const QRegularExpression pattern(attribute + QStringLiteral("[\\s]*=[\\s]*\"(.*?)\""));
    QString result;
    int from = 0;
    auto matches = pattern.globalMatch(html);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString value = match.captured(1);
        result += html.midRef(from, match.capturedStart() - from);
        // A file URL with '/' separators: "file:/" and backslashes would make the first
        // folder the URL's host here.
        result +=
            attribute + "=\"" +
            (StaysAsItIs(value) ? value : QUrl::fromLocalFile(AppFilePath(value)).toString()) +
            "\"";
        from = match.capturedEnd();
    }
    result += html.midRef(from);
    return result;
}

}  // namespace

QString RewriteSrcToLocal(const QString& html) { return RewriteAttribute(html, "src"); }

QString RewriteHrefToLocal(const QString& html) { return RewriteAttribute(html, "href"); }
