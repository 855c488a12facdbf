#include "activex/variant_conversion.h"

#include <limits>

namespace ax {

QVariant ToQVariant(const com::Variant& value) {
    switch (value.Type()) {
        case com::VT_BOOL:
            return QVariant(value.BoolValue());
        case com::VT_I4:
            return QVariant(static_cast<int>(value.IntValue()));
        case com::VT_BSTR:
            return QVariant(QString::fromStdString(value.TextValue()));
        default:
            return QVariant();
    }
}

com::Variant FromQVariant(const QVariant& value) {
    if (!value.isValid()) return com::Variant();
    switch (value.userType()) {
        case QMetaType::Bool:
            return com::Variant(value.toBool());
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return com::Variant(static_cast<std::int32_t>(value.toInt()));
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::ULong:
        case QMetaType::ULongLong: {
            bool ok = false;
            const qlonglong n = value.toLongLong(&ok);
            if (ok && n >= std::numeric_limits<std::int32_t>::min() &&
                n <= std::numeric_limits<std::int32_t>::max())
                return com::Variant(static_cast<std::int32_t>(n));
            break;  // too large for 32 bits: as text below
        }
        default:
            break;
    }
    if (value.canConvert<QString>()) return com::Variant(value.toString().toStdString());
    return com::Variant();
}

}  // namespace ax
