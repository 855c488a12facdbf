// One control on a page: made through the component layer from the <object>'s class id (a
// registered ProgID or the id in braces), loaded with the object's parameters, its window
// placed in the page. To the page's script it is the element's object: the control's members
// `url`, `PlayState`, `GetVer` and `setOvUrl`, each called by name on the control at once.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include "activex/host_window.h"
#include "com/variant.h"

class ControlSite : public ax::HostWindow {
    Q_OBJECT
    Q_PROPERTY(QString url READ url WRITE setUrl)
    Q_PROPERTY(int PlayState READ playState WRITE setPlayState)
    Q_PROPERTY(QString GetVer READ getVer WRITE setVer)

public:
    // Null, with `error` telling why, when the class is unknown or the control cannot be
    // made or loaded. `names` and `values` are the object's attributes and parameters.
    static ControlSite* Create(const QString& classId, const QStringList& names,
                               const QStringList& values, QString& error);

    QString url() const;
    void setUrl(const QString& url);
    // Script numbers arrive as double and are read as whole numbers.
    int playState() const;
    void setPlayState(int state);
    QString getVer() const;
    void setVer(const QString& version);

public slots:
    void setOvUrl(const QString& url);

private:
    ControlSite() = default;
    com::Variant Get(const char* name) const;
    void Put(const char* name, const com::Variant& value);
};
