#include "Platform/D3D9/D3D9Format.h"

namespace {

constexpr D3D9Format::Info kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, 0, false, false, true},
    {D3DFMT_X8R8G8B8, 4, 0, false, false, false},
    {D3DFMT_R5G6B5, 2, 0, false, false, false},
    {D3DFMT_X1R5G5B5, 2, 0, false, false, false},
    {D3DFMT_A1R5G5B5, 2, 0, false, false, true},
    {D3DFMT_A4R4G4B4, 2, 0, false, false, true},
    {D3DFMT_A8, 1, 0, false, false, true},
    {D3DFMT_L8, 1, 0, false, false, false},
    {D3DFMT_A8L8, 2, 0, false, false, true},
    {D3DFMT_G16R16, 4, 0, false, false, false},
    {D3DFMT_A16B16G16R16, 8, 0, false, false, true},
    {D3DFMT_R16F, 2, 0, false, false, false},
    {D3DFMT_G16R16F, 4, 0, false, false, false},
    {D3DFMT_A16B16G16R16F, 8, 0, false, false, true},
    {D3DFMT_R32F, 4, 0, false, false, false},
    {D3DFMT_G32R32F, 8, 0, false, false, false},
    {D3DFMT_A32B32G32R32F, 16, 0, false, false, true},
    {D3DFMT_DXT1, 0, 8, false, false, true},
    {D3DFMT_DXT2, 0, 16, false, false, true},
    {D3DFMT_DXT3, 0, 16, false, false, true},
    {D3DFMT_DXT4, 0, 16, false, false, true},
    {D3DFMT_DXT5, 0, 16, false, false, true},
    {D3DFMT_D16, 0, 0, true, false, false},
    {D3DFMT_D24X8, 0, 0, true, false, false},
    {D3DFMT_D24S8, 0, 0, true, true, false},
    {D3DFMT_INDEX16, 2, 0, false, false, false},
    {D3DFMT_INDEX32, 4, 0, false, false, false},
};

}  // namespace

const D3D9Format::Info* D3D9Format::Find(D3DFORMAT format) {
    for (const Info& info : kFormats)
        if (info.format == format)
            return &info;
    return nullptr;
}

bool D3D9Format::IsBlock(D3DFORMAT format) {
    const Info* info = Find(format);
    return info && info->blockBytes != 0;
}

bool D3D9Format::IsDepth(D3DFORMAT format) {
    const Info* info = Find(format);
    return info && info->depth;
}

ULONGLONG D3D9Format::RowPitch(D3DFORMAT format, UINT width) {
    const Info* info = Find(format);
    if (!info || info->depth)
        return 0;
    if (info->blockBytes)
        return ((static_cast<ULONGLONG>(width) + 3) / 4) * info->blockBytes;
    return static_cast<ULONGLONG>(width) * info->bytesPerPixel;
}

ULONGLONG D3D9Format::RowCount(D3DFORMAT format, UINT height) {
    const Info* info = Find(format);
    if (!info || info->depth)
        return 0;
    if (info->blockBytes)
        return (static_cast<ULONGLONG>(height) + 3) / 4;
    return height;
}

ULONGLONG D3D9Format::SurfaceBytes(D3DFORMAT format, UINT width, UINT height) {
    return RowPitch(format, width) * RowCount(format, height);
}
