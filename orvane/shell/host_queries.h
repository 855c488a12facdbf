// Small questions and requests about the host process and the desktop.
#pragma once

#include <QByteArray>
#include <QString>

// The host runs on the old Windows XP line; never on this platform.
bool IsWinXP();

// A visible top-level window with exactly this title exists on the desktop, in any process.
bool IsWindowShown(const QString& title);

// 32 lower-case hexadecimal characters of the MD5 digest of the text's UTF-8 bytes.
QString Md5Hex(const QString& text);

// `url` fully encoded, as the browser is given it, when it is an http or https URL with a
// host; empty for anything else.
QByteArray BrowserAddress(const QString& url);

// Opens an http or https URL in the user's browser. Other schemes are ignored: a page must
// not make the player run programs or open local files.
void OpenUrlInBrowser(const QString& url);

// Called when the main widget goes; nothing to release yet.
bool CleanupOnDestroy();
