// The D3DX matrix and vector helpers the engine calls. They keep D3DX's layout: points are row
// vectors multiplied on the left (v' = v M), so a translation sits in the fourth row (_41, _42,
// _43 = m[3][0..2]). The engine's own matrices are the transpose of these; it converts where it
// hands a matrix over or reads one back. Every helper answers its output pointer, writes nothing
// else, and may be called from any thread.
#pragma once

#include "Platform/Win32/Win32Types.h"

struct D3DXVECTOR3 {
    float x, y, z;
};

// m[row][column].
struct D3DXMATRIX {
    float m[4][4];
};

// Direct3D's viewport record: the pixel rectangle and the depth range a projected point maps to.
// It belongs to the Direct3D 9 layer; this declaration stands in only where that layer is absent.
#if __has_include("Platform/D3D9/D3D9Types.h")
#include "Platform/D3D9/D3D9Types.h"
#else
struct D3DVIEWPORT9 {
    DWORD X;
    DWORD Y;
    DWORD Width;
    DWORD Height;
    float MinZ;
    float MaxZ;
};
#endif

// Right-handed perspective projection: fovy is the vertical field of view in radians, aspect the
// width over the height; view-space z from -zn to -zf maps to depth 0 to 1.
D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* pOut, float fovy, float aspect, float zn,
                                       float zf);

// Right-handed view matrix looking from pEye towards pAt; pUp need not be perpendicular to the
// view direction but must not be parallel to it.
D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp);

// Right-handed orthographic projection of a w x h view centred on the axis; depth 0 to 1 over
// view-space z from -zn to -zf.
D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* pOut, float w, float h, float zn, float zf);

// Right-handed orthographic projection of the view rectangle l..r, b..t (arguments in D3DX's
// order: left, right, bottom, top, near, far).
D3DXMATRIX* D3DXMatrixOrthoOffCenterRH(D3DXMATRIX* pOut, float l, float r, float b, float t,
                                       float zn, float zf);

// Projects a point to the viewport: v (World View Projection), divided by w, then x and y from
// -1..1 to the pixel rectangle (y downwards) and z to MinZ..MaxZ. A null matrix counts as the
// identity; a null viewport leaves the point in normalised device coordinates.
D3DXVECTOR3* D3DXVec3Project(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                             const D3DVIEWPORT9* pViewport, const D3DXMATRIX* pProjection,
                             const D3DXMATRIX* pView, const D3DXMATRIX* pWorld);

// Unit vector in the direction of pV; a zero vector stays the zero vector. pOut may equal pV.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV);
