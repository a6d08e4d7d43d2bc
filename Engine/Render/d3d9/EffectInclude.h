// Where an effect's "#include" files come from: the name as written, else the effect include
// root's "include/" directory with the name's file part. Each opened file is read whole into a
// buffer that Close frees. Host thread only.
#pragma once

#include <string>

#include "Platform/D3DX9/ID3DXInclude.h"

namespace Zel {

class EffectInclude final : public ID3DXInclude {
public:
    EffectInclude() = default;
    EffectInclude(const EffectInclude&) = delete;
    EffectInclude& operator=(const EffectInclude&) = delete;

    // S_OK with the file's bytes; E_FAIL with null data (and an error report) when the file
    // cannot be opened or read.
    HRESULT Open(D3DXINCLUDE_TYPE type, LPCSTR fileName, LPCVOID parentData, LPCVOID* data,
                 UINT* bytes) override;
    HRESULT Close(LPCVOID data) override;

    // Appends the whole file at path (resolved as every open is) to bytes; false when it cannot
    // be opened or read.
    static bool ReadFile(const std::string& path, std::string& bytes);
};

}  // namespace Zel
