// A Qt message handler that appends every message to "debug.log" in the user's state folder.
#pragma once

#include <QString>
#include <QtGlobal>

void DebugLogWrite(QtMsgType type, const QMessageLogContext& context, const QString& message);
