#include "orvane_widget.h"

#include "host_queries.h"
#include "named_objects.h"

orvane::orvane(QWidget* parent) : QWidget(parent) { SetMainWidget(this); }

orvane::~orvane() { CleanupOnDestroy(); }

void orvane::setOvUrl(const QString& url) { Q_UNUSED(url); }

int orvane::GetState() { return 0; }

bool orvane::IsInDragArea() { return false; }
