// The object that page scripts see as "JsExtObj": one per process, added to every page of the
// player that may drive it (the advertisement page view, the advertisement windows, the home
// page), and only while the page shown there is of the origin of the page the player itself
// loaded into that view. Each method acts on the main widget; PlayVideo and AdvFinished are
// posted, so the script call returns before anything plays. All on the user-interface thread.
#pragma once

#include <QObject>
#include <QVariant>
#include <QVariantMap>

class JsExtObj : public QObject {
    Q_OBJECT

public:
    // Maximises the main window, or restores it when it is maximised; done on return.
    Q_INVOKABLE void Max();
    Q_INVOKABLE void Min();
    // Closes the main widget, which runs its close handling.
    Q_INVOKABLE void Close();
    // A boolean for the script: the main window is maximised (never while embedded).
    Q_INVOKABLE QVariant IsMax();
    // Posts the main widget's PlayVideo with the map as the script gave it (numbers arrive
    // as doubles; readers take them with toInt()).
    Q_INVOKABLE void PlayVideo(QVariantMap videoInfo);
    // Opens a web address (http or https) in the user's browser; anything else opens nothing.
    // Scripts share one allowance of a browser start a second.
    Q_INVOKABLE void OpenWindow(QVariant url);
    // The advertisement page is done: posts the main widget's ContinuePlay.
    Q_INVOKABLE void AdvFinished();

    // OpenWindow for a link clicked in a view: the start counts against `page`'s allowance.
    // Not for scripts.
    void OpenWindowFor(QObject* page, const QVariant& url);
};

// The one JsExtObj, made on the first call and kept until the process ends.
JsExtObj* JsExtObjInstance();

class QNetworkRequest;
class QUrl;
class QWebFrame;
class QWebView;

// Loads `url` into `view` as the view's own page: the one whose origin gets the bridge there.
void LoadOwnPage(QWebView* view, const QUrl& url);
// The same for the request's URL, sent with the request's headers.
void LoadOwnPage(QWebView* view, const QNetworkRequest& request);

// Adds the one JsExtObj to `frame`'s script window object as "JsExtObj" when the frame's
// document has the origin of its view's own page (LoadOwnPage); a document of any other origin
// (a page a link or a script navigated to, a foreign frame) gets nothing. Owners of views call
// it whenever the frame's window object is cleared (before each document runs its scripts).
void AddJsExtObj(QWebFrame* frame);
