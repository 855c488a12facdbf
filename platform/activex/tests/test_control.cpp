#include "test_control.h"

#include "activex/server.h"

TestControlWidget::TestControlWidget(QWidget* parent) : QWidget(parent) {}

namespace {

std::unique_ptr<ax::FactoryList> MakeFactoryList() {
    auto list =
        std::make_unique<ax::FactoryList>(com::MakeGuid("{4D6E8A21-0B3C-4F97-A5E2-C81B7D09F364}"),
                                          com::MakeGuid("{5E7F9B32-1C4D-4A08-B6F3-D92C8E1A0475}"));
    list->addClass<TestControlWidget>();
    return list;
}

}  // namespace

ORVANE_AX_SERVER(MakeFactoryList)
