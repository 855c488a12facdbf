// The control layer for Qt widgets (ActiveX side) and for hosts.
//
// A control library lists its widget classes in an ax::FactoryList and defines its exports
// with ORVANE_AX_SERVER (server.h). A widget class names its ids in class infos:
//
//   class MyWidget : public QWidget, public ax::Bindable {
//       Q_OBJECT
//       Q_CLASSINFO("ClassID", "{...}")
//       Q_CLASSINFO("InterfaceID", "{...}")
//       Q_PROPERTY(QString url READ getUrl WRITE setUrl)
//   public slots: ...
//   };
//
// Hosts create controls with ax::HostWindow (host_window.h) and call them by name with
// com::CallMethod / GetProperty / PutProperty (com/dispatch_call.h).
#pragma once

#include "activex/aggregated.h"
#include "activex/bindable.h"
#include "activex/class.h"
#include "activex/factory.h"
#include "activex/factory_list.h"
#include "activex/host_window.h"
#include "activex/meta_dispatch.h"
#include "activex/server.h"
#include "activex/variant_conversion.h"
#include "activex/widget_object.h"
