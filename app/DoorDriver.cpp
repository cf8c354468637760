#include "app/DoorDriver.h"

#include "app/ElementAdapters.h"
#include "doors/Common.h"

DoorDriver::DoorDriver(QWidget& window, Common& common, ControlArray<ImageElement>& frontDoor,
                       ControlArray<ImageElement>& middleLeaves)
    : m_window(window)
    , m_common(common)
    , m_frontDoor(frontDoor)
    , m_middleLeaves(middleLeaves)
{
}

void DoorDriver::driveFront(const Doors::DoorRequests& desk, Doors::Pacer& pacer)
{
    Doors::ElementLeaf door(m_frontDoor(2));
    const Doors::SpeedSource speed = [&desk] { return desk.frontSpeed(); };
    Doors::BatchDisplay display(&m_window);
    if (desk.frontDoorOpen())
        Doors::openFrontDoor(door, speed, pacer, display);
    else
        Doors::closeFrontDoor(door, speed, pacer, display);
}

void DoorDriver::driveMiddle(const Doors::DoorRequests& desk, Doors::Pacer& pacer)
{
    const bool opening = desk.middleDoorOpen();
    if (opening)
        m_common.PlayResSoundWait(101);
    else
        m_common.PlayResSound(102);

    // Read after the sound: the single event pass of the closing clip may have run handlers.
    const Doors::LeafChoice choice = desk.leafChoice();
    Doors::ElementLeaf left(m_middleLeaves(0));
    Doors::ElementLeaf right(m_middleLeaves(1));
    const Doors::SpeedSource speed = [&desk] { return desk.middleSpeed(); };
    Doors::BatchDisplay display(&m_window);
    if (opening)
        Doors::openMiddleDoor(left, right, choice, speed, pacer, display);
    else
        Doors::closeMiddleDoor(left, right, choice, speed, pacer, display);
}
