// Calls by name over a QObject's meta-object: public slots and invokable methods by their
// names, Q_PROPERTYs by theirs. Only members declared from the class `exposeToSuperClass`
// down to the object's own class are reachable (so a widget does not expose QWidget's slots
// unless asked). Calls run on the object's thread (blocking when that is not the caller's).
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <vector>

#include "com/interfaces.h"

class QObject;

namespace ax {

class MetaDispatch {
public:
    MetaDispatch(QObject* object, const QString& exposeToSuperClass);

    // Names compare exactly first, then without regard to case.
    com::HRESULT GetIDsOfNames(const std::string& name, com::DISPID* id) const;
    // A method is chosen among the name's overloads by argument count; arguments are
    // converted to the parameter types (DISP_E_TYPEMISMATCH when they cannot be).
    com::HRESULT Invoke(com::DISPID id, com::WORD flags, const com::DispParams& params,
                        com::Variant* result);

private:
    struct Member {
        QByteArray name;
        std::vector<int> methods;  // meta-method indices
        int property = -1;         // meta-property index
    };
    com::HRESULT CallMethod(const Member& m, const com::DispParams& params, com::Variant* result,
                            bool* found);

    QPointer<QObject> object_;
    std::vector<Member> members_;  // DISPID = index + 1
};

}  // namespace ax
