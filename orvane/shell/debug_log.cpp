#include "debug_log.h"

#include <QFile>

void DebugLogWrite(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    Q_UNUSED(type);
    Q_UNUSED(context);
    QFile log(QStringLiteral("debug.log"));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    log.write(message.toLocal8Bit());
    log.write("\n");
}
