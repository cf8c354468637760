#pragma once

#include "geometry/Twips.h"

#include <optional>

class QWidget;

// Leaves a window's title bar without an icon. A window given none would show the parent's, or
// the toolkit's generic one; a transparent icon is what window managers draw as nothing.
void clearWindowIcon(QWidget* window);

// Remembers an element's geometry in twips on an ordinary Qt control and places it in pixels.
void placeControl(QWidget* control, twips::Rect rect);
std::optional<twips::Rect> controlRect(const QWidget* control);
