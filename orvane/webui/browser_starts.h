// The user's browser started on behalf of web content: for a link clicked in a page, a new
// window a page opened, or a script's JsExtObj.OpenWindow. A page that asks in a loop must not
// start one browser process per request, so each source gets at most one start a second.
// User-interface thread only.
#pragma once

#include <QString>

class QObject;

// Opens `url` in the user's browser for `source` (the page the request came from, or the
// bridge object for script calls) unless `source` started one less than a second ago; such a
// request is dropped with a debug line. What is no web address opens nothing (see
// OpenUrlInBrowser) and leaves the source's allowance as it was.
void OpenInBrowserFor(QObject* source, const QString& url);

// True when `source` may start the browser now.
bool BrowserStartAllowed(const QObject* source);
