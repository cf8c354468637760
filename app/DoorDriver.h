#pragma once

#include "doors/DoorMotion.h"
#include "elements/ControlArray.h"
#include "elements/ImageElement.h"

class Common;
class QWidget;
class frmSet;

// Moves the bus window's doors as the control desk asks: which way from its check boxes, which
// leaves from its options, how fast from its speed bars.
class DoorDriver {
public:
    DoorDriver(QWidget& window, Common& common, ControlArray<ImageElement>& frontDoor,
               ControlArray<ImageElement>& middleLeaves);

    // The front door, element 2 of its array, follows the desk's first check box.
    void driveFront(frmSet& desk, Doors::Pacer& pacer);
    // The middle door's leaves, elements 0 and 1, follow the second, with their sound.
    void driveMiddle(frmSet& desk, Doors::Pacer& pacer);

private:
    QWidget& m_window;
    Common& m_common;
    ControlArray<ImageElement>& m_frontDoor;
    ControlArray<ImageElement>& m_middleLeaves;
};
