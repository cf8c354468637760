#include "signboard/SignboardFrame.h"

namespace SignboardFrame {

Placement fit(const twips::Rect& board, float leftPostWidth, float rightPostWidth)
{
    const float L = board.left, T = board.top, W = board.width, H = board.height;
    return {
        { L - kPostWidth, T, leftPostWidth, H + 15.0f },
        { L + W, T, rightPostWidth, H + 15.0f },
        { L - kPostWidth, T + H, W + 150.0f, {} },
    };
}

Placement followResize(const twips::Rect& board)
{
    const float L = board.left, T = board.top, W = board.width, H = board.height;
    return {
        { L - kPostWidth, T, {}, {} },
        { L + W, T, {}, {} },
        { L - kPostWidth, T + H, W + 150.0f, {} },
    };
}

} // namespace SignboardFrame
