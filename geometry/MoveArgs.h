#pragma once

#include "geometry/Twips.h"

#include <optional>

// Move() sets Left, Top, Width and Height in one operation; a value left out keeps its own.
struct MoveArgs {
    float left;
    std::optional<float> top;
    std::optional<float> width;
    std::optional<float> height;

    twips::Rect appliedTo(const twips::Rect& r) const
    {
        return { left, top.value_or(r.top), width.value_or(r.width), height.value_or(r.height) };
    }
};
