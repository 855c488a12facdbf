// The web configuration that the web service hands out ("homepage", "update", "config" of
// [url] and "main" of [app]) and where the player keeps it: "..\cfg\web_config.ini", with the
// update address and the main program also in the updater's "..\cfg\update.ini".
#pragma once

#include <QByteArray>
#include <QString>

// Stores a downloaded web configuration (ini text): its body passes through
// "..\cfg\web_config.tmp", which is gone afterwards; each of the four values that is not
// empty replaces the stored one, and every other key of both files stays as it was.
void StoreWebConfig(const QByteArray& body);

// The stored home page ([url] homepage of "..\cfg\web_config.ini"), or else the file address
// of "index.html" beside the control library.
QString HomePageUrl();
