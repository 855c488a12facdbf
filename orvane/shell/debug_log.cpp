#include "debug_log.h"

#include <QFile>

#include "app_paths.h"

void DebugLogWrite(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    Q_UNUSED(type);
    Q_UNUSED(context);
    static const QString path = AppWritePath(QStringLiteral("debug.log"));
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    log.write(message.toLocal8Bit());
    log.write("\n");
}
