// The texture scale level: how many times image width and height are halved when images load
// (0 none, 1 a quarter of the area, 2 a sixteenth). Set by the device's capability report, by the
// host and around special loads. Process-wide; any thread.
#pragma once

namespace Zel {

// Stores the level, clamped to 0-2.
void SetTextureScaleLevel(int level);
int GetTextureScaleLevel();

}  // namespace Zel
