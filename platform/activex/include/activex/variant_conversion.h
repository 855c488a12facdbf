// Conversions between the component layer's values and Qt's.
#pragma once

#include <QString>
#include <QVariant>

#include "com/bstr.h"
#include "com/variant.h"

namespace ax {

// Empty and null become an invalid QVariant; text becomes a QString.
QVariant ToQVariant(const com::Variant& value);
// Invalid: empty. bool, 32-bit integers: kept. Other numbers that fit 32 bits: integer.
// Anything else that Qt can turn into a string: text. The rest: empty.
com::Variant FromQVariant(const QVariant& value);

inline QString ToQString(const com::Bstr& text) { return QString::fromStdString(text.str()); }
inline com::Bstr ToBstr(const QString& text) { return com::Bstr(text.toStdString()); }

}  // namespace ax
