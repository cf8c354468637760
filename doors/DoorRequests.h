#pragma once

#include "doors/LeafChoice.h"

namespace Doors {

// What the driver asks of the doors. Read afresh at each use: the speed at every step, so a
// slider moved during a movement changes its pace, and the leaves once the buzzer has sounded.
class DoorRequests {
public:
    virtual bool frontDoorOpen() const = 0;
    virtual bool middleDoorOpen() const = 0;
    virtual LeafChoice leafChoice() const = 0;
    // Pause lengths, in counting passes after each twip of a movement.
    virtual int frontSpeed() const = 0;
    virtual int middleSpeed() const = 0;

protected:
    ~DoorRequests() = default;
};

} // namespace Doors
