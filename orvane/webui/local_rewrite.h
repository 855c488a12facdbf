// Rewriting the src and href values of an HTML text to files beside the control library, so
// that a page saved with relative links can be shown from local files. Values that are web
// addresses, scripts or fragments ("http...", "javascript...", "#...", in any case) stay.
#pragma once

#include <QString>

QString RewriteSrcToLocal(const QString& html);
QString RewriteHrefToLocal(const QString& html);
