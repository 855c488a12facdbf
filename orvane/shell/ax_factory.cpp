// The control library's factory and its component exports.
#include <memory>

#include "activex/factory_list.h"
#include "activex/server.h"
#include "ax_wrap_widget.h"
#include "com/guid.h"

namespace {

constexpr com::GUID kTypeLibId = com::MakeGuid("{0BCE7C23-F434-4670-9920-EECF52B68060}");
constexpr com::GUID kAppId = com::MakeGuid("{9970AB00-EFAB-429f-A717-0BF205A0DC46}");

}  // namespace

std::unique_ptr<ax::FactoryList> qax_instantiate() {
    auto list = std::make_unique<ax::FactoryList>(kTypeLibId, kAppId);
    list->addClass<AXWrapWidget>();
    return list;
}

ORVANE_AX_SERVER(qax_instantiate)
