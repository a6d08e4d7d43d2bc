// D3DX 9's own result codes that the engine names in its error reports.
#pragma once

#include "Platform/Win32/Win32Types.h"

constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59u);
