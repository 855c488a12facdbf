#include "ad_corner.h"

QPoint AdCorner(const QRect& available, const QSize& window) {
    return {available.x() + available.width() - window.width(),
            available.y() + available.height() - window.height()};
}
