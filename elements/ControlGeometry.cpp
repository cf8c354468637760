#include "elements/ControlGeometry.h"

#include <QRectF>
#include <QVariant>
#include <QWidget>

namespace {
constexpr const char* kTwipsProperty = "kururinTwips";
}

void placeControl(QWidget* control, twips::Rect rect)
{
    control->setProperty(kTwipsProperty, QRectF(rect.left, rect.top, rect.width, rect.height));
    control->setGeometry(twips::toPixelGrid(rect));
}

std::optional<twips::Rect> controlRect(const QWidget* control)
{
    const QVariant v = control->property(kTwipsProperty);
    if (!v.isValid())
        return std::nullopt;
    const QRectF r = v.toRectF();
    return twips::Rect { float(r.x()), float(r.y()), float(r.width()), float(r.height()) };
}
