// Base for a widget class exposed as a control that wants to add interfaces of its own: the
// layer asks createAggregate once, when it wraps a new object of the class.
#pragma once

#include <memory>

#include "activex/aggregated.h"

namespace ax {

class Bindable {
public:
    Bindable() = default;
    virtual ~Bindable();

    // The part that answers extra interfaces; null (the default) for none.
    virtual std::unique_ptr<Aggregated> createAggregate();
};

}  // namespace ax
