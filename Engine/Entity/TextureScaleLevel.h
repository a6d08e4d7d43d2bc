// The texture scale level: how many times image width and height are halved when images load
// (0 none, 1 a quarter of the area, 2 a sixteenth). The device's capability report chooses it from
// the video memory; loads that need full-size, uncompressed images bracket themselves with
// PushTextureScale and PopTextureScale. Process-wide; atomic reads and writes, any thread.
#pragma once

#include <cstdint>

namespace Zel {

void SetTextureScaleLevel(std::uint32_t level);
std::uint32_t GetTextureScaleLevel();

// Saves the level and the texture-compression switch (global switch 6) into the two outputs, then
// sets level 0 and the switch off.
void PushTextureScale(std::uint32_t* savedLevel, bool* savedCompression);
// Puts both back.
void PopTextureScale(std::uint32_t savedLevel, bool savedCompression);

}  // namespace Zel
