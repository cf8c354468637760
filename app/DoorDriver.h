#pragma once

#include "doors/DoorMotion.h"
#include "doors/DoorRequests.h"
#include "elements/ControlArray.h"
#include "elements/ImageElement.h"

class Common;
class QWidget;

// Moves the bus window's doors as the driver asks: which way, which leaves and how fast.
class DoorDriver {
public:
    DoorDriver(QWidget& window, Common& common, ControlArray<ImageElement>& frontDoor,
               ControlArray<ImageElement>& middleLeaves);

    // The front door, element 2 of its array, opens or shuts as asked.
    void driveFront(const Doors::DoorRequests& desk, Doors::Pacer& pacer);
    // The middle door's leaves, elements 0 and 1, likewise, with their sound.
    void driveMiddle(const Doors::DoorRequests& desk, Doors::Pacer& pacer);

private:
    QWidget& m_window;
    Common& m_common;
    ControlArray<ImageElement>& m_frontDoor;
    ControlArray<ImageElement>& m_middleLeaves;
};
