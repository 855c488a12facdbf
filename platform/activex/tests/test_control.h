// A control library made for the tests: one widget class exposed through the ActiveX layer.
#pragma once

#include <QWidget>

#include "activex/bindable.h"

class TestControlWidget : public QWidget, public ax::Bindable {
    Q_OBJECT
    Q_CLASSINFO("ClassID", "{E47B2A90-6C13-4F5D-8B72-19A0D3C6F5E1}")
    Q_CLASSINFO("InterfaceID", "{B05F7C34-28D9-4E61-A3C7-5D84E1F9026B}")
    Q_PROPERTY(QString url READ getOvUrl WRITE setOvUrl)

public:
    explicit TestControlWidget(QWidget* parent = nullptr);

public slots:
    QString getOvUrl() const { return url_; }
    void setOvUrl(const QString& url) { url_ = url; }
    QString getState() const { return QString::number(url_.size()); }

private:
    QString url_;
};
