// The text of the engine's default effect, which RenderEffectD3D::WriteDefaultEffectFile writes.
#pragma once

namespace Zel {

const char* DefaultEffectText();

}  // namespace Zel
