#include "Platform/D3D9/SoftRasterizer.h"

#include <algorithm>
#include <cmath>

namespace {

bool Snap(float v, long long* out) {
    if (!(std::fabs(v) <= SoftRasterizer::kGuardBand))
        return false;  // also NaN
    *out = std::llround(static_cast<double>(v) * SoftRasterizer::kSubpixel);
    return true;
}

// Smallest integer n with n * kSubpixel >= v, and largest with n * kSubpixel <= v.
long long CeilDiv(long long v) {
    return v >= 0 ? (v + SoftRasterizer::kSubpixel - 1) / SoftRasterizer::kSubpixel
                  : -((-v) / SoftRasterizer::kSubpixel);
}
long long FloorDiv(long long v) {
    return v >= 0 ? v / SoftRasterizer::kSubpixel
                  : -((-v + SoftRasterizer::kSubpixel - 1) / SoftRasterizer::kSubpixel);
}

}  // namespace

bool SoftRasterizer::Setup(const float* v0, const float* v1, const float* v2, UINT attributes,
                           DWORD cull, const RECT& bounds, float depthBias, float slopeBias,
                           Triangle* t, std::vector<Plane>* planes) {
    const float* v[3] = {v0, v1, v2};
    long long X[3], Y[3];
    for (int i = 0; i < 3; ++i)
        if (!Snap(v[i][0], &X[i]) || !Snap(v[i][1], &Y[i]))
            return false;
    long long area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0)
        return false;
    bool ccw = area < 0;
    if ((cull == D3DCULL_CCW && ccw) || (cull == D3DCULL_CW && !ccw))
        return false;
    if (ccw) {
        std::swap(v[1], v[2]);
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
        area = -area;
    }

    long long minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
    long long minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
    t->minX = static_cast<int>(std::max<long long>(CeilDiv(minX), bounds.left));
    t->maxX = static_cast<int>(std::min<long long>(FloorDiv(maxX), bounds.right));
    t->minY = static_cast<int>(std::max<long long>(CeilDiv(minY), bounds.top));
    t->maxY = static_cast<int>(std::min<long long>(FloorDiv(maxY), bounds.bottom));
    if (t->minX > t->maxX || t->minY > t->maxY)
        return false;

    for (int e = 0; e < 3; ++e) {
        int i = e, j = (e + 1) % 3;
        long long dx = X[j] - X[i], dy = Y[j] - Y[i];
        // E(P) = dx * (Py - Yi) - dy * (Px - Xi), positive inside for this orientation.
        long long A = -dy, B = dx;
        long long C = -B * Y[i] - A * X[i];
        bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        t->a[e] = A * kSubpixel;
        t->b[e] = B * kSubpixel;
        t->c[e] = C - (topLeft ? 0 : 1);
    }
    t->counterClockwise = ccw;

    // Planes relative to the snapped first vertex, set up in double precision.
    double x0 = static_cast<double>(X[0]) / kSubpixel, y0 = static_cast<double>(Y[0]) / kSubpixel;
    double dx1 = static_cast<double>(X[1] - X[0]) / kSubpixel;
    double dy1 = static_cast<double>(Y[1] - Y[0]) / kSubpixel;
    double dx2 = static_cast<double>(X[2] - X[0]) / kSubpixel;
    double dy2 = static_cast<double>(Y[2] - Y[0]) / kSubpixel;
    double det = static_cast<double>(area) / (static_cast<double>(kSubpixel) * kSubpixel);
    t->x0 = static_cast<float>(x0);
    t->y0 = static_cast<float>(y0);
    t->firstPlane = static_cast<UINT>(planes->size());
    auto plane = [&](double f0, double f1, double f2) {
        double fx = ((f1 - f0) * dy2 - (f2 - f0) * dy1) / det;
        double fy = ((f2 - f0) * dx1 - (f1 - f0) * dx2) / det;
        return Plane{static_cast<float>(f0), static_cast<float>(fx), static_cast<float>(fy)};
    };
    Plane z = plane(v[0][2], v[1][2], v[2][2]);
    z.c += depthBias + slopeBias * std::max(std::fabs(z.dx), std::fabs(z.dy));
    planes->push_back(z);
    planes->push_back(plane(v[0][3], v[1][3], v[2][3]));
    for (UINT k = 0; k < attributes; ++k) {
        double w0 = v[0][3], w1 = v[1][3], w2 = v[2][3];
        planes->push_back(plane(v[0][4 + k] * w0, v[1][4 + k] * w1, v[2][4 + k] * w2));
    }
    return true;
}
