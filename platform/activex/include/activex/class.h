// The factory of one widget class T (constructible as T(QWidget* parent)): its key is T's
// class name; it creates T unless the class info "Creatable" is "no".
#pragma once

#include <QMetaClassInfo>
#include <QMetaObject>

#include "activex/factory.h"

namespace ax {

template <class T>
class Class : public Factory {
public:
    QStringList featureList() const override {
        return {QString::fromLatin1(T::staticMetaObject.className())};
    }
    QObject* createObject(const QString& key) override {
        if (!metaObject(key) || classInfo(key, "Creatable") == QLatin1String("no")) return nullptr;
        return new T(nullptr);  // owned by the caller
    }
    const QMetaObject* metaObject(const QString& key) const override {
        return key == QLatin1String(T::staticMetaObject.className()) ? &T::staticMetaObject
                                                                     : nullptr;
    }
};

}  // namespace ax
