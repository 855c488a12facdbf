// The player control that hosts create: a widget that prepares the process and carries the
// player's main widget, reachable by name through its slots and properties.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "activex/bindable.h"

class orvane;

class AXWrapWidget : public QWidget, public ax::Bindable {
    Q_OBJECT
    Q_CLASSINFO("ClassID", "{14DACFF5-4B08-494b-A580-25F2ED930DA7}")
    Q_CLASSINFO("InterfaceID", "{5382D836-B741-49a6-9D82-3A8BCFB62D31}")
    Q_PROPERTY(QString url READ getOvUrl WRITE setOvUrl)
    Q_PROPERTY(QString state READ getState WRITE setState)

public:
    explicit AXWrapWidget(QWidget* parent = nullptr);
    ~AXWrapWidget() override;

    std::unique_ptr<ax::Aggregated> createAggregate() override;

    orvane* mainWidget() const { return m_mainWidget; }

public slots:
    QString getOvUrl();
    void setOvUrl(QString url);
    QString getState();
    void setState(QString state);

protected:
    // The host decides when the control goes; closing or hiding it ends nothing.
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    orvane* m_mainWidget = nullptr;
};
