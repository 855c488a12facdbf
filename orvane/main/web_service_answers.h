// What the player reads from the web service's answers, and the small rules of its requests.
// Pure functions: no network, no widgets.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <QVector>
#include <optional>

// The answer to "getvideo.js?seed=": the video an ov:// address stands for.
struct ResolvedVideo {
    QString title;  // percent-decoded UTF-8
    QString url;    // the address to stream
    QString ad;     // the advertisement page; empty for none
    QString sources;
    QString httpUrl;
    bool isPrivate = false;
};

// Empty when the body is no JSON object or lacks "title", "url" or "ad".
std::optional<ResolvedVideo> ParseResolveAnswer(const QByteArray& body);

// The entries of an "adtext.js" answer ({"title", "url", "time"} maps, in order); empty
// optional when the body is no JSON object or has no "adlist".
std::optional<QVector<QVariantMap>> ParseAdTextAnswer(const QByteArray& body);

// How long one advertisement text stays: its "time" in seconds, 10 s when below 1, in
// milliseconds and never beyond what a timer takes.
int AdTextShowMs(const QVariant& seconds);

// "ov://" in any case at the start.
bool IsOvAddress(const QString& url);

// The type of an address typed into the URL dialog: 9 for a magnet or "kvbt:" link in any
// case, 2 for anything else.
int TypedUrlType(const QString& url);

// The seed as it goes into the resolve request's query: characters that would end or change
// the query ("&", "#", "+", "%", blanks and the like) percent-encoded.
QByteArray EncodeSeed(const QString& seed);

// A host executable that loads the control only to read its type library or to register it
// builds no player ("idc.exe", "regsvr32.exe" and the program that stands in for the latter).
bool IsRegistrationHost(const QString& exeName);
