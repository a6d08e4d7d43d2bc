// Where an effect's "#include" files come from: the application implements it. Open hands out the
// file's bytes (valid until the matching Close) and answers S_OK; any other answer, or S_OK with
// null data, fails the include.
#pragma once

#include "Platform/Win32/Win32Types.h"

enum D3DXINCLUDE_TYPE : DWORD {
    D3DXINC_LOCAL = 0,   // #include "name"
    D3DXINC_SYSTEM = 1,  // #include <name>
};

class ID3DXInclude {
public:
    virtual HRESULT Open(D3DXINCLUDE_TYPE type, LPCSTR fileName, LPCVOID parentData, LPCVOID* data,
                         UINT* bytes) = 0;
    virtual HRESULT Close(LPCVOID data) = 0;

protected:
    ~ID3DXInclude() = default;
};
using LPD3DXINCLUDE = ID3DXInclude*;
