#include "activex/meta_dispatch.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>
#include <QObject>
#include <QThread>
#include <QVariant>

#include "activex/variant_conversion.h"

namespace ax {

namespace {

using com::HRESULT;

// The first meta-object of the chain that belongs to the exposed range.
const QMetaObject* ExposedBase(const QMetaObject* mo, const QString& superClass) {
    for (const QMetaObject* m = mo; m; m = m->superClass())
        if (superClass == QLatin1String(m->className())) return m;
    return mo;  // an unknown name exposes the object's own class only
}

template <class Fn>
void RunOnThreadOf(QObject* object, Fn fn) {
    if (object->thread() == QThread::currentThread())
        fn();
    else
        QMetaObject::invokeMethod(object, fn, Qt::BlockingQueuedConnection);
}

// Converts an argument to a parameter type; empty and null give the type's default value.
bool ConvertArgument(const com::Variant& value, int type, QVariant& out) {
    out = ToQVariant(value);
    if (!out.isValid()) {
        out = QVariant(type, nullptr);
        return true;
    }
    if (type == QMetaType::QVariant) {
        out = QVariant::fromValue(out);
        return true;
    }
    if (out.userType() == type) return true;
    return out.convert(type);
}

}  // namespace

MetaDispatch::MetaDispatch(QObject* object, const QString& exposeToSuperClass) : object_(object) {
    if (!object) return;
    const QMetaObject* mo = object->metaObject();
    const QMetaObject* base = ExposedBase(mo, exposeToSuperClass);
    auto memberFor = [this](const QByteArray& name) -> Member& {
        for (Member& m : members_)
            if (m.name == name) return m;
        members_.push_back(Member{name, {}, -1});
        return members_.back();
    };
    for (int i = base->propertyOffset(); i < mo->propertyCount(); ++i)
        memberFor(mo->property(i).name()).property = i;
    for (int i = base->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod method = mo->method(i);
        if (method.access() != QMetaMethod::Public) continue;
        if (method.methodType() != QMetaMethod::Slot && method.methodType() != QMetaMethod::Method)
            continue;
        memberFor(method.name()).methods.push_back(i);
    }
}

HRESULT MetaDispatch::GetIDsOfNames(const std::string& name, com::DISPID* id) const {
    if (!id) return com::E_POINTER;
    *id = com::DISPID_UNKNOWN;
    const QByteArray wanted = QByteArray::fromStdString(name);
    for (std::size_t i = 0; i < members_.size(); ++i) {
        if (members_[i].name == wanted) {
            *id = static_cast<com::DISPID>(i + 1);
            return com::S_OK;
        }
    }
    for (std::size_t i = 0; i < members_.size(); ++i) {
        if (members_[i].name.compare(wanted, Qt::CaseInsensitive) == 0) {
            *id = static_cast<com::DISPID>(i + 1);
            return com::S_OK;
        }
    }
    return com::DISP_E_UNKNOWNNAME;
}

HRESULT MetaDispatch::CallMethod(const Member& m, const com::DispParams& params,
                                 com::Variant* result, bool* found) {
    QObject* object = object_.data();
    const QMetaObject* mo = object->metaObject();
    *found = false;
    for (int index : m.methods) {
        const QMetaMethod method = mo->method(index);
        if (static_cast<std::size_t>(method.parameterCount()) != params.Count()) continue;
        *found = true;
        if (params.Count() > 10) return com::DISP_E_BADPARAMCOUNT;
        QVariant args[10];
        QGenericArgument generic[10];
        for (int i = 0; i < method.parameterCount(); ++i) {
            if (!ConvertArgument(params.Arg(i), method.parameterType(i), args[i]))
                return com::DISP_E_TYPEMISMATCH;
            generic[i] =
                QGenericArgument(method.parameterTypes().at(i).constData(), args[i].constData());
        }
        const int returnType = method.returnType();
        QVariant returned;
        if (returnType != QMetaType::Void && returnType != QMetaType::UnknownType)
            returned = QVariant(returnType, nullptr);
        QGenericReturnArgument ret =
            returned.isValid() ? QGenericReturnArgument(method.typeName(), returned.data())
                               : QGenericReturnArgument();
        bool ok = false;
        RunOnThreadOf(object, [&] {
            ok = method.invoke(object, Qt::DirectConnection, ret, generic[0], generic[1],
                               generic[2], generic[3], generic[4], generic[5], generic[6],
                               generic[7], generic[8], generic[9]);
        });
        if (!ok) return com::E_FAIL;
        if (result) *result = FromQVariant(returned);
        return com::S_OK;
    }
    return com::DISP_E_BADPARAMCOUNT;
}

HRESULT MetaDispatch::Invoke(com::DISPID id, com::WORD flags, const com::DispParams& params,
                             com::Variant* result) {
    QObject* object = object_.data();
    if (!object) return com::E_UNEXPECTED;  // the widget is gone
    if (id < 1 || static_cast<std::size_t>(id) > members_.size()) return com::DISP_E_MEMBERNOTFOUND;
    const Member& m = members_[static_cast<std::size_t>(id) - 1];
    const QMetaProperty property =
        m.property >= 0 ? object->metaObject()->property(m.property) : QMetaProperty();

    if (flags & com::DISPATCH_PROPERTYPUT) {
        if (m.property < 0 || !property.isWritable()) return com::DISP_E_MEMBERNOTFOUND;
        if (params.Count() != 1) return com::DISP_E_BADPARAMCOUNT;
        QVariant value;
        if (!ConvertArgument(params.Arg(0), property.userType(), value))
            return com::DISP_E_TYPEMISMATCH;
        bool ok = false;
        RunOnThreadOf(object, [&] { ok = property.write(object, value); });
        return ok ? com::S_OK : com::DISP_E_TYPEMISMATCH;
    }
    if ((flags & com::DISPATCH_METHOD) && !m.methods.empty()) {
        bool found = false;
        HRESULT hr = CallMethod(m, params, result, &found);
        if (found || !(flags & com::DISPATCH_PROPERTYGET) || m.property < 0) return hr;
    }
    if ((flags & com::DISPATCH_PROPERTYGET) && m.property >= 0) {
        if (params.Count() != 0) return com::DISP_E_BADPARAMCOUNT;
        if (!property.isReadable()) return com::DISP_E_MEMBERNOTFOUND;
        QVariant value;
        RunOnThreadOf(object, [&] { value = property.read(object); });
        if (result) *result = FromQVariant(value);
        return com::S_OK;
    }
    return com::DISP_E_MEMBERNOTFOUND;
}

}  // namespace ax
