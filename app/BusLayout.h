#pragma once

#include "picture/Picture.h"

#include <QtGlobal>

#include <vector>

class Form1;
class ImageElement;
class WindowlessElement;

// Where everything on the bus window stands, what it shows, and which handler each element's
// events reach. The elements are made in a fixed order: it decides their stacking and tab order.
namespace BusLayout {

// One of the program's own drawings, drawn anew for each screen scale; the one for the given
// scale is read now.
Picture resourcePicture(const char* name, qreal devicePixelRatio);

// The bus window's name, its title until the program is loaded, its icon and its fixed size.
// The program's drawings must be ready.
void dressWindow(Form1& bus);

// The sign box and its picture. Made first of all child windows, so that every later one lies
// above it; the sign logic needs the sign's picture element from the start.
ImageElement& createSignBox(Form1& bus);

// The signboard's picture box, the door pictures and the frame bars, in that order.
void createElements(Form1& bus);

// The bus window's windowless elements in stacking order, the top one first.
std::vector<WindowlessElement*> stackingOrder(Form1& bus);

// Hands the child windows' events to the bus window's handlers.
void connectElements(Form1& bus);

// The popup menu of the bus and its signboard.
void createMenu(Form1& bus);

} // namespace BusLayout
