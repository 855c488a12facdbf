// The component layer: identifiers, result codes, text and variant values, reference-counted
// interfaces, calls by name, class factories, connection points, self-registration and
// creation from libraries.
//
// Making a component: derive from com::Object<Self, IYours, ...> (object.h), give IDispatch
// methods a com::DispatchMap (dispatch_map.h), fire events through com::ConnectionPoint
// (connection_point.h), list the classes in a com::Module and define the exports with
// ORVANE_COM_SERVER (module.h).
//
// Using one:
//   com::Ptr<com::IDispatch> d;
//   if (com::SUCCEEDED(com::CreateInstance(clsid, nullptr, com::IDispatch::kIid, d.PutVoid()))) {
//       com::Variant text;
//       com::CallMethod(d.get(), "Greeting", {}, &text);
//   }
// or com::CreateInstanceFromLibrary(path, clsid, ...) for a library that is not registered.
#pragma once

#include "com/bstr.h"
#include "com/connection_point.h"
#include "com/create.h"
#include "com/dispatch_call.h"
#include "com/dispatch_map.h"
#include "com/guid.h"
#include "com/hresult.h"
#include "com/interfaces.h"
#include "com/module.h"
#include "com/object.h"
#include "com/property_bag.h"
#include "com/ptr.h"
#include "com/registry_script.h"
#include "com/variant.h"
