#pragma once

#include "geometry/MoveArgs.h"
#include "geometry/Twips.h"

// Where the three bars of the signboard's frame go: two posts beside the board and a bar
// beneath it. All sums stay in single precision, as the stored positions are.
namespace SignboardFrame {

// Where a reset puts the board; a little lower and to the left of where it starts out.
inline constexpr twips::Rect kResetPlace { 3180, 1815, 1410, 450 };
inline constexpr float kPostWidth = 75;

struct Placement {
    MoveArgs leftPost;
    MoveArgs rightPost;
    MoveArgs bottomBar;
};

// The full fit (a double click on the board): posts reach 15 twips below the board.
Placement fit(const twips::Rect& board, float leftPostWidth, float rightPostWidth);

// After the board changed size: posts follow the edges but keep their heights.
Placement followResize(const twips::Rect& board);

} // namespace SignboardFrame
