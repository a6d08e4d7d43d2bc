// Triangle setup and coverage for the software device, by Direct3D 9's rules: pixel centres at
// integer coordinates, vertices snapped to 1/256 pixel, the top-left fill rule (a centre on a top
// or left edge is inside, on a bottom or right edge outside), and winding measured on screen
// (y down: clockwise is positive area). Values across a triangle are planes in screen space:
// depth (z/w, already in viewport range) is affine; 1/w and every attribute divided by w are
// affine too, which gives perspective-correct attributes per pixel.
//
// Coverage is walked in 2×2 quads aligned to even coordinates, batched four quads at a time, so
// that a pixel's result never depends on how the screen is split into tiles.
#pragma once

#include <vector>

#include "Platform/D3D9/D3D9Types.h"

class SoftRasterizer {
public:
    static constexpr int kSubpixel = 256;
    // Screen coordinates are kept within this many pixels of the origin (the guard band).
    static constexpr float kGuardBand = 16384.0f;

    // value(x, y) = c + dx * (x - Triangle::x0) + dy * (y - Triangle::y0)
    struct Plane {
        float c;
        float dx;
        float dy;
    };

    struct Triangle {
        // Edge functions per pixel centre: inside when a * x + b * y + c >= 0 for all three
        // (the fill rule is folded into c).
        long long a[3];
        long long b[3];
        long long c[3];
        int minX, minY, maxX, maxY;  // inclusive pixel bounds
        float x0, y0;                // the planes' reference point
        UINT firstPlane;             // z, 1/w, then the attributes (divided by w)
        bool counterClockwise;
    };

    struct QuadBatch {
        int x[4];
        int y[4];
        unsigned mask;  // bit 4q + k: pixel k of quad q covered (k: 0 (x, y), 1 (x+1, y), ...)
        unsigned quads;
    };

    // A screen vertex: x, y (pixels), z (depth), 1/w, then attributes floats.
    // Sets up the triangle (appending 2 + attributes planes to planes); false when it is
    // degenerate, culled (cull: D3DCULL), outside bounds (inclusive pixel rectangle) or outside
    // the guard band. depthBias and slopeBias are added to depth (the slope term times the larger
    // depth gradient).
    static bool Setup(const float* v0, const float* v1, const float* v2, UINT attributes,
                      DWORD cull, const RECT& bounds, float depthBias, float slopeBias,
                      Triangle* triangle, std::vector<Plane>* planes);

    // Calls flush(batch) for the covered quads of the triangle inside the inclusive rectangle
    // [x0, x1] × [y0, y1], at most four quads per batch, in row order.
    template <class Flush>
    static void Rasterize(const Triangle& t, int x0, int y0, int x1, int y1, Flush&& flush) {
        int rx0 = t.minX > x0 ? t.minX : x0, ry0 = t.minY > y0 ? t.minY : y0;
        int rx1 = t.maxX < x1 ? t.maxX : x1, ry1 = t.maxY < y1 ? t.maxY : y1;
        if (rx0 > rx1 || ry0 > ry1)
            return;
        QuadBatch batch;
        batch.quads = 0;
        batch.mask = 0;
        int qx0 = rx0 & ~1, qy0 = ry0 & ~1;
        for (int qy = qy0; qy <= ry1; qy += 2) {
            unsigned rowMask = 0xF;
            if (qy < ry0)
                rowMask &= 0xC;  // the upper row lies outside
            if (qy + 1 > ry1)
                rowMask &= 0x3;
            long long e0 = t.a[0] * qx0 + t.b[0] * qy + t.c[0];
            long long e1 = t.a[1] * qx0 + t.b[1] * qy + t.c[1];
            long long e2 = t.a[2] * qx0 + t.b[2] * qy + t.c[2];
            for (int qx = qx0; qx <= rx1;
                 qx += 2, e0 += 2 * t.a[0], e1 += 2 * t.a[1], e2 += 2 * t.a[2]) {
                unsigned m = 0;
                for (int k = 0; k < 4; ++k) {
                    long long dx = k & 1, dy = k >> 1;
                    bool in = e0 + t.a[0] * dx + t.b[0] * dy >= 0 &&
                              e1 + t.a[1] * dx + t.b[1] * dy >= 0 &&
                              e2 + t.a[2] * dx + t.b[2] * dy >= 0;
                    m |= static_cast<unsigned>(in) << k;
                }
                m &= rowMask;
                if (qx < rx0)
                    m &= 0xA;
                if (qx + 1 > rx1)
                    m &= 0x5;
                if (!m)
                    continue;
                batch.x[batch.quads] = qx;
                batch.y[batch.quads] = qy;
                batch.mask |= m << (4 * batch.quads);
                if (++batch.quads == 4) {
                    flush(batch);
                    batch.quads = 0;
                    batch.mask = 0;
                }
            }
        }
        if (batch.quads) {
            for (unsigned q = batch.quads; q < 4; ++q) {
                batch.x[q] = batch.x[0];
                batch.y[q] = batch.y[0];
            }
            flush(batch);
        }
    }
};
