#include "activex/aggregated.h"

#include <QWidget>

#include "activex/bindable.h"

namespace ax {

Aggregated::~Aggregated() = default;

QWidget* Aggregated::widget() const { return qobject_cast<QWidget*>(object_); }

Bindable::~Bindable() = default;

std::unique_ptr<Aggregated> Bindable::createAggregate() { return nullptr; }

}  // namespace ax
