#pragma once

class QWidget;

// Leaves a window's title bar without an icon. A window given none would show the parent's, or
// the toolkit's generic one; a transparent icon is what window managers draw as nothing.
void clearWindowIcon(QWidget* window);
