#pragma once

#include "geometry/Twips.h"

#include <optional>

class QWidget;

// Remembers an element's geometry in twips on an ordinary Qt control and places it in pixels.
void placeControl(QWidget* control, twips::Rect rect);
std::optional<twips::Rect> controlRect(const QWidget* control);
