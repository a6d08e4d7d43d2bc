// Loads that need full-size, uncompressed images (the body-part textures) bracket themselves with
// these: the push saves the texture scale level and the texture-compression switch (global switch
// 6) and sets level 0 and the switch off; the pop puts both back. Host thread.
#pragma once

namespace Zel {

void PushTextureScale(int* savedLevel, bool* savedCompression);
void PopTextureScale(int savedLevel, bool savedCompression);

}  // namespace Zel
