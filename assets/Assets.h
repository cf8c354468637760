#pragma once

namespace Assets {
// Registers the built-in pictures and clips; the resources live in a static library, so
// something must reference them or the linker drops them.
void init();
} // namespace Assets
