#pragma once

namespace Doors {

// Which leaves of the middle door move.
enum class LeafChoice { Both, Left, Right };

} // namespace Doors
