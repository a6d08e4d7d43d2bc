#include "Platform/D3D9/SoftPipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Platform/D3D9/SoftDeviceState.h"
#include "Platform/D3D9/SoftShading.h"
#include "Platform/D3D9/SoftSurface9.h"

namespace {

// Planes a clip-space vertex must be inside of: near (z >= 0), far (z <= w), the guard band
// on x and y, and w above zero; the user planes follow them.
constexpr int kFixedPlanes = 7;
constexpr int kUserPlanes = 6;
constexpr float kMinW = 1e-7f;
constexpr float kSubpixelStep = 1.0f / SoftRasterizer::kSubpixel;

}  // namespace

SoftPipeline::SoftPipeline() = default;
SoftPipeline::~SoftPipeline() = default;

void SoftPipeline::SetPrograms(std::shared_ptr<const SoftProgram> vertex,
                               std::shared_ptr<const SoftProgram> pixel) {
    vertexProgram_ = std::move(vertex);
    pixelProgram_ = std::move(pixel);
}

void SoftPipeline::SetThreads(unsigned threads) {
    tiles_.SetThreads(threads);
}

void SoftPipeline::SetTileSize(int pixels) {
    tileSize_ = std::max(2, pixels & ~1);
}

UINT SoftPipeline::RowOf(const SoftDrawCall& call, UINT i) const {
    if (!call.indices)
        return i;
    DWORD index;
    if (call.indexSize == 2) {
        WORD w;
        std::memcpy(&w, call.indices + static_cast<std::size_t>(i) * 2, 2);
        index = w;
    } else {
        std::memcpy(&index, call.indices + static_cast<std::size_t>(i) * 4, 4);
    }
    return index - call.minIndex;  // validation kept every index in [minIndex, + numVertices)
}

void SoftPipeline::Gather(UINT row, ClipVertex* out) const {
    const float* r = vertices_.Row(row);
    std::memcpy(out->v, r, 4 * sizeof(float));
    for (const SoftPixelPipeline::Varying& v : pixels_.Varyings()) {
        for (UINT c = 0; c < v.components; ++c)
            out->v[4 + v.offset + c] = v.slot >= 0 ? r[4 + 4 * v.slot + c] : (c == 3 ? 1.0f : 0.0f);
    }
}

float SoftPipeline::Distance(const float* v, int plane) const {
    switch (plane) {
        case 0:
            return v[2];
        case 1:
            return v[3] - v[2];
        case 2:
            return v[0] - guard_[0] * v[3];
        case 3:
            return guard_[1] * v[3] - v[0];
        case 4:
            return v[1] - guard_[2] * v[3];
        case 5:
            return guard_[3] * v[3] - v[1];
        case 6:
            return v[3] - kMinW;
        default: {
            const float* u = userPlanes_[plane - kFixedPlanes];
            return u[0] * v[0] + u[1] * v[1] + u[2] * v[2] + u[3] * v[3];
        }
    }
}

// The inverse of a 4 x 4 matrix by cofactors; false when it has none.
static bool InvertClipMatrix(const D3DMATRIX& matrix, float out[4][4]) {
    const float* m = &matrix.m[0][0];
    float inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] +
             m[9] * m[7] * m[14] + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] -
             m[8] * m[7] * m[14] - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] +
             m[8] * m[7] * m[13] + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] -
              m[8] * m[6] * m[13] - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] -
             m[9] * m[3] * m[14] - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] +
             m[8] * m[3] * m[14] + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] -
             m[8] * m[3] * m[13] - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] +
              m[8] * m[2] * m[13] + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] -
             m[4] * m[3] * m[14] - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] +
              m[4] * m[3] * m[13] + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] -
              m[4] * m[2] * m[13] - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] -
             m[5] * m[3] * m[10] - m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0.0f || !std::isfinite(det))
        return false;
    for (int i = 0; i < 16; ++i) out[i / 4][i % 4] = inv[i] / det;
    return true;
}

void SoftPipeline::PrepareUserPlanes(const SoftDeviceState& state) {
    clipPlanes_ = kFixedPlanes;
    const DWORD enabled = state.renderStates[D3DRS_CLIPPLANEENABLE];
    if (!enabled)
        return;
    // The fixed-function stage's planes are in world space: a world point p is inside when
    // plane . p >= 0, and p = clip . (view . projection)^-1 for row vectors, so the clip-space
    // plane is (view . projection)^-1 . plane.
    float toWorld[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    if (!vertexProgram_) {
        D3DMATRIX viewProjection{};
        const D3DMATRIX& view = state.transforms[D3DTS_VIEW];
        const D3DMATRIX& projection = state.transforms[D3DTS_PROJECTION];
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                float sum = 0.0f;
                for (int k = 0; k < 4; ++k) sum += view.m[r][k] * projection.m[k][c];
                viewProjection.m[r][c] = sum;
            }
        // A projection without an inverse flattens everything: the planes cannot be placed.
        if (!InvertClipMatrix(viewProjection, toWorld))
            return;
    }
    for (UINT i = 0; i < static_cast<UINT>(kUserPlanes) && i < SoftDeviceState::kClipPlanes; ++i) {
        if (!(enabled & (1u << i)))
            continue;
        const auto& plane = state.clipPlanes[i];
        float* out = userPlanes_[clipPlanes_ - kFixedPlanes];
        for (int r = 0; r < 4; ++r)
            out[r] = toWorld[r][0] * plane[0] + toWorld[r][1] * plane[1] +
                     toWorld[r][2] * plane[2] + toWorld[r][3] * plane[3];
        ++clipPlanes_;
    }
}

UINT SoftPipeline::Clip(ClipVertex* polygon, UINT count) const {
    unsigned outside = 0, common = (1u << clipPlanes_) - 1;
    for (UINT i = 0; i < count; ++i) {
        unsigned code = 0;
        for (int p = 0; p < clipPlanes_; ++p)
            if (!(Distance(polygon[i].v, p) >= 0.0f))
                code |= 1u << p;
        outside |= code;
        common &= code;
    }
    if (outside == 0)
        return count;
    if (common != 0)
        return 0;
    ClipVertex buffer[16];
    ClipVertex* in = polygon;
    ClipVertex* out = buffer;
    for (int p = 0; p < clipPlanes_ && count >= 3; ++p) {
        if (!(outside & (1u << p)))
            continue;
        UINT n = 0;
        for (UINT i = 0; i < count; ++i) {
            const ClipVertex& a = in[i];
            const ClipVertex& b = in[(i + 1) % count];
            float da = Distance(a.v, p), db = Distance(b.v, p);
            bool aIn = da >= 0.0f, bIn = db >= 0.0f;
            if (aIn)
                out[n++] = a;
            if (aIn != bIn && n < 16) {
                float t = da / (da - db);
                ClipVertex& m = out[n++];
                for (UINT k = 0; k < floats_; ++k) m.v[k] = a.v[k] + (b.v[k] - a.v[k]) * t;
            }
        }
        count = n;
        std::swap(in, out);
    }
    if (count < 3)
        return 0;
    if (in != polygon)
        for (UINT i = 0; i < count; ++i) polygon[i] = in[i];
    return count;
}

void SoftPipeline::Project(ClipVertex* c) const {
    float invW = 1.0f / c->v[3];
    float x = c->v[0] * invW, y = c->v[1] * invW, z = c->v[2] * invW;
    c->v[0] = viewportX_ + (1.0f + x) * halfWidth_;
    c->v[1] = viewportY_ + (1.0f - y) * halfHeight_;
    c->v[2] = minZ_ + z * (maxZ_ - minZ_);
    c->v[3] = invW;
}

void SoftPipeline::ScreenTriangle(const float* a, const float* b, const float* c, DWORD cull) {
    SoftRasterizer::Triangle t;
    RECT bounds = pixels_.Bounds();
    if (!SoftRasterizer::Setup(a, b, c, pixels_.AttributeFloats(), cull, bounds,
                               pixels_.DepthBias(), pixels_.SlopeBias(), &t, &planes_))
        return;
    UINT index = static_cast<UINT>(triangles_.size());
    triangles_.push_back(t);
    int ox = bounds.left / tileSize_, oy = bounds.top / tileSize_;
    for (int ty = t.minY / tileSize_; ty <= t.maxY / tileSize_; ++ty)
        for (int tx = t.minX / tileSize_; tx <= t.maxX / tileSize_; ++tx)
            bins_[static_cast<std::size_t>((ty - oy) * tilesX_ + (tx - ox))].push_back(index);
}

void SoftPipeline::ScreenLine(const float* a, const float* b) {
    float dx = b[0] - a[0], dy = b[1] - a[1];
    if (!(dx != 0.0f || dy != 0.0f))
        return;
    bool xMajor = std::fabs(dx) >= std::fabs(dy);
    int major = xMajor ? 0 : 1;
    float length = std::fabs(xMajor ? dx : dy);
    ClipVertex q[4];
    for (int k = 0; k < 4; ++k) std::memcpy(q[k].v, (k == 0 || k == 3) ? a : b, floats_ * 4);
    // The fill rule keeps the start and drops the end along the major axis; a line drawn the
    // other way moves by a subpixel so that it does the same.
    float shift = (xMajor ? dx : dy) < 0.0f ? kSubpixelStep : 0.0f;
    for (int k = 0; k < 4; ++k) q[k].v[major] += shift;
    if (lastPixel_) {
        q[1].v[0] += dx / length;
        q[1].v[1] += dy / length;
        q[2].v[0] += dx / length;
        q[2].v[1] += dy / length;
    }
    int minor = 1 - major;
    q[0].v[minor] -= 0.5f;
    q[1].v[minor] -= 0.5f;
    q[2].v[minor] += 0.5f;
    q[3].v[minor] += 0.5f;
    ScreenTriangle(q[0].v, q[1].v, q[2].v, D3DCULL_NONE);
    ScreenTriangle(q[0].v, q[2].v, q[3].v, D3DCULL_NONE);
}

void SoftPipeline::ScreenPoint(const float* a, float size) {
    float half = std::clamp(size, std::max(pointMin_, 1.0f), std::max(pointMax_, 1.0f)) * 0.5f;
    ClipVertex q[4];
    static constexpr float kCorner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int k = 0; k < 4; ++k) {
        std::memcpy(q[k].v, a, floats_ * 4);
        q[k].v[0] += kCorner[k][0] * half;
        q[k].v[1] += kCorner[k][1] * half;
        for (UINT f : spriteFloats_) {
            q[k].v[4 + f] = kCorner[k][0] > 0 ? 1.0f : 0.0f;
            q[k].v[5 + f] = kCorner[k][1] > 0 ? 1.0f : 0.0f;
        }
    }
    ScreenTriangle(q[0].v, q[1].v, q[2].v, D3DCULL_NONE);
    ScreenTriangle(q[0].v, q[2].v, q[3].v, D3DCULL_NONE);
}

void SoftPipeline::Triangle(UINT r0, UINT r1, UINT r2) {
    ClipVertex poly[16];
    Gather(r0, &poly[0]);
    Gather(r1, &poly[1]);
    Gather(r2, &poly[2]);
    for (UINT f : flatFloats_) poly[1].v[4 + f] = poly[2].v[4 + f] = poly[0].v[4 + f];
    UINT n = 3;
    if (!screenSpace_) {
        n = Clip(poly, 3);
        for (UINT i = 0; i < n; ++i) Project(&poly[i]);
    }
    if (n < 3)
        return;
    DWORD cull = pixels_.Cull();
    if (fillMode_ != D3DFILL_POINT && fillMode_ != D3DFILL_WIREFRAME) {
        for (UINT i = 1; i + 1 < n; ++i) ScreenTriangle(poly[0].v, poly[i].v, poly[i + 1].v, cull);
        return;
    }
    // Wireframe and point fill keep the solid triangle's culling.
    double area = 0.0;
    for (UINT i = 0; i < n; ++i) {
        const float* p = poly[i].v;
        const float* q = poly[(i + 1) % n].v;
        area += static_cast<double>(p[0]) * q[1] - static_cast<double>(q[0]) * p[1];
    }
    if (area == 0.0 || (cull == D3DCULL_CCW && area < 0.0) || (cull == D3DCULL_CW && area > 0.0))
        return;
    for (UINT i = 0; i < n; ++i) {
        if (fillMode_ == D3DFILL_WIREFRAME)
            ScreenLine(poly[i].v, poly[(i + 1) % n].v);
        else
            ScreenPoint(poly[i].v, pointSize_);
    }
}

void SoftPipeline::Line(UINT r0, UINT r1) {
    ClipVertex a, b;
    Gather(r0, &a);
    Gather(r1, &b);
    for (UINT f : flatFloats_) b.v[4 + f] = a.v[4 + f];
    if (!screenSpace_) {
        // The segment's part inside every plane.
        float t0 = 0.0f, t1 = 1.0f;
        for (int p = 0; p < clipPlanes_; ++p) {
            float da = Distance(a.v, p), db = Distance(b.v, p);
            if (!(da >= 0.0f) && !(db >= 0.0f))
                return;
            if (!(da >= 0.0f))
                t0 = std::max(t0, da / (da - db));
            else if (!(db >= 0.0f))
                t1 = std::min(t1, da / (da - db));
        }
        if (t0 >= t1)
            return;
        ClipVertex c0 = a, c1 = b;
        for (UINT k = 0; k < floats_; ++k) {
            c0.v[k] = a.v[k] + (b.v[k] - a.v[k]) * t0;
            c1.v[k] = a.v[k] + (b.v[k] - a.v[k]) * t1;
        }
        a = c0;
        b = c1;
        Project(&a);
        Project(&b);
    }
    ScreenLine(a.v, b.v);
}

void SoftPipeline::Point(UINT r0) {
    ClipVertex a;
    Gather(r0, &a);
    float size = pointSizeSlot_ >= 0 ? vertices_.Row(r0)[4 + 4 * pointSizeSlot_] : pointSize_;
    if (!screenSpace_) {
        for (int p = 0; p < clipPlanes_; ++p)
            if (!(Distance(a.v, p) >= 0.0f))
                return;
        Project(&a);
    }
    ScreenPoint(a.v, size);
}

ULONGLONG SoftPipeline::Draw(const SoftDrawCall& call, const SoftDeviceState& state) {
    samplers_.Prepare(state);
    if (vertexProgram_ && vertexRunnerProgram_ != vertexProgram_) {
        vertexRunner_ = vertexProgram_->NewRunner();
        vertexRunnerProgram_ = vertexProgram_;
    }
    vertexProcessor_.Process(call, state, vertexProgram_.get(), vertexRunner_.get(), samplers_,
                             pixelProgram_ != nullptr, &vertices_);
    if (!pixels_.Prepare(state, vertices_, pixelProgram_, &samplers_, !vertexProgram_))
        return 0;

    const auto& rs = state.renderStates;
    const D3DVIEWPORT9& vp = state.viewport;
    floats_ = 4 + pixels_.AttributeFloats();
    viewportX_ = static_cast<float>(vp.X);
    viewportY_ = static_cast<float>(vp.Y);
    halfWidth_ = static_cast<float>(vp.Width) * 0.5f;
    halfHeight_ = static_cast<float>(vp.Height) * 0.5f;
    minZ_ = vp.MinZ;
    maxZ_ = vp.MaxZ;
    // Half the rasteriser's range, leaving room for line and point extents.
    float g = SoftRasterizer::kGuardBand * 0.5f;
    guard_[0] = (-g - viewportX_) / halfWidth_ - 1.0f;
    guard_[1] = (g - viewportX_) / halfWidth_ - 1.0f;
    guard_[2] = 1.0f - (g - viewportY_) / halfHeight_;
    guard_[3] = 1.0f + (g + viewportY_) / halfHeight_;
    screenSpace_ = vertices_.screenSpace;
    PrepareUserPlanes(state);
    lastPixel_ = rs[D3DRS_LASTPIXEL] != 0;
    fillMode_ = rs[D3DRS_FILLMODE];
    pointSize_ = SoftShading::StateFloat(rs[D3DRS_POINTSIZE]);
    pointMin_ = SoftShading::StateFloat(rs[D3DRS_POINTSIZE_MIN]);
    pointMax_ = SoftShading::StateFloat(rs[D3DRS_POINTSIZE_MAX]);
    pointSprite_ = rs[D3DRS_POINTSPRITEENABLE] != 0;
    pointSizeSlot_ = vertices_.Find({D3DDECLUSAGE_PSIZE, 0});
    flatFloats_.clear();
    spriteFloats_.clear();
    for (const SoftPixelPipeline::Varying& v : pixels_.Varyings()) {
        if (pixels_.FlatShading() && v.semantic.usage == D3DDECLUSAGE_COLOR)
            for (UINT c = 0; c < v.components; ++c) flatFloats_.push_back(v.offset + c);
        if (pointSprite_ && v.semantic.usage == D3DDECLUSAGE_TEXCOORD && v.components >= 2)
            spriteFloats_.push_back(v.offset);
    }

    const RECT& bounds = pixels_.Bounds();
    tilesX_ = static_cast<int>(bounds.right / tileSize_ - bounds.left / tileSize_ + 1);
    tilesY_ = static_cast<int>(bounds.bottom / tileSize_ - bounds.top / tileSize_ + 1);
    bins_.resize(static_cast<std::size_t>(tilesX_) * tilesY_);
    for (auto& bin : bins_) bin.clear();
    triangles_.clear();
    planes_.clear();

    UINT n = call.primitiveCount;
    switch (call.type) {
        case D3DPT_TRIANGLELIST:
            for (UINT i = 0; i < n; ++i)
                Triangle(RowOf(call, 3 * i), RowOf(call, 3 * i + 1), RowOf(call, 3 * i + 2));
            break;
        case D3DPT_TRIANGLESTRIP:
            for (UINT i = 0; i < n; ++i) {
                if (i % 2 == 0)
                    Triangle(RowOf(call, i), RowOf(call, i + 1), RowOf(call, i + 2));
                else
                    Triangle(RowOf(call, i), RowOf(call, i + 2), RowOf(call, i + 1));
            }
            break;
        case D3DPT_TRIANGLEFAN:
            for (UINT i = 0; i < n; ++i)
                Triangle(RowOf(call, i + 1), RowOf(call, i + 2), RowOf(call, 0));
            break;
        case D3DPT_LINELIST:
            for (UINT i = 0; i < n; ++i) Line(RowOf(call, 2 * i), RowOf(call, 2 * i + 1));
            break;
        case D3DPT_LINESTRIP:
            for (UINT i = 0; i < n; ++i) Line(RowOf(call, i), RowOf(call, i + 1));
            break;
        case D3DPT_POINTLIST:
            for (UINT i = 0; i < n; ++i) Point(RowOf(call, i));
            break;
    }
    if (triangles_.empty())
        return 0;
    Render(state);
    ULONGLONG samples = 0;
    for (const SoftPixelPipeline::Scratch& s : scratch_) samples += s.samplesPassed;
    return samples;
}

void SoftPipeline::Render(const SoftDeviceState& state) {
    std::vector<UINT> jobs;
    for (std::size_t b = 0; b < bins_.size(); ++b)
        if (!bins_[b].empty())
            jobs.push_back(static_cast<UINT>(b));
    if (scratch_.size() < tiles_.Threads())
        scratch_.resize(tiles_.Threads());
    for (SoftPixelPipeline::Scratch& s : scratch_) pixels_.BeginDraw(s);

    const RECT& bounds = pixels_.Bounds();
    int ox = bounds.left / tileSize_, oy = bounds.top / tileSize_;
    tiles_.Run(static_cast<unsigned>(jobs.size()), [&](unsigned job, unsigned worker) {
        UINT b = jobs[job];
        int tx = static_cast<int>(b) % tilesX_ + ox, ty = static_cast<int>(b) / tilesX_ + oy;
        int x0 = std::max<int>(bounds.left, tx * tileSize_);
        int y0 = std::max<int>(bounds.top, ty * tileSize_);
        int x1 = std::min<int>(bounds.right, tx * tileSize_ + tileSize_ - 1);
        int y1 = std::min<int>(bounds.bottom, ty * tileSize_ + tileSize_ - 1);
        SoftPixelPipeline::Scratch& scratch = scratch_[worker];
        for (UINT index : bins_[b]) {
            const SoftRasterizer::Triangle& t = triangles_[index];
            SoftRasterizer::Rasterize(t, x0, y0, x1, y1,
                                      [&](const SoftRasterizer::QuadBatch& batch) {
                                          pixels_.Shade(t, planes_.data(), batch, scratch);
                                      });
        }
    });
    state.renderTargets[0].Get()->NoteWritten();
}
