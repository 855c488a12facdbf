// Descriptions of two sample ActiveX widgets: their component ids and one property each.
// Nothing creates or registers them.
#pragma once

#include <QColor>
#include <QWidget>

class QAxWidget1 : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("ClassID", "{1D9928BD-4453-4bdd-903D-E525ED17FDE5}")
    Q_CLASSINFO("InterfaceID", "{99F6860E-2C5A-42ec-87F2-43396F4BE389}")
    Q_CLASSINFO("EventsID", "{0A3E9F27-E4F1-45bb-9E47-63099BCCD0E3}")
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)

public:
    using QWidget::QWidget;

    QColor fillColor() const { return fillColor_; }
    void setFillColor(const QColor& color) {
        fillColor_ = color;
        repaint();
    }

private:
    QColor fillColor_;
};

class QAxWidget2 : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("ClassID", "{58139D56-6BE9-4b17-937D-1B1EDEDD5B72}")
    Q_CLASSINFO("InterfaceID", "{B66280AB-08CC-4dcc-924F-58E6D7975B72}")
    Q_CLASSINFO("EventsID", "{D72BACBA-03C4-4480-B4BB-DE4FE3AA14A2}")
    Q_CLASSINFO("ToSuperClass", "QAxWidget2")
    Q_CLASSINFO("StockEvents", "yes")
    Q_CLASSINFO("Insertable", "yes")
    Q_PROPERTY(int lineWidth READ lineWidth WRITE setLineWidth)

public:
    using QWidget::QWidget;

    int lineWidth() const { return lineWidth_; }
    void setLineWidth(int width) {
        lineWidth_ = width;
        repaint();
    }

private:
    int lineWidth_ = 1;
};
