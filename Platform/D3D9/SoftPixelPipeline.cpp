#include "Platform/D3D9/SoftPixelPipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "Platform/D3D9/D3D9Format.h"
#include "Platform/D3D9/PixelCodec.h"
#include "Platform/D3D9/SoftBaseTexture9.h"
#include "Platform/D3D9/SoftDeviceState.h"
#include "Platform/D3D9/SoftShading.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "Platform/D3D9/SoftVertices.h"

namespace {

using Lanes = float[kSoftLanes];

float Sat(float v) {
    return SoftShading::Saturate(v);
}

float FloatOf(DWORD bits) {
    return SoftShading::StateFloat(bits);
}

// Saturate over four lanes, with the same results as Sat: MAXPS answers its second operand for
// NaN, and MINPS passes values below one.
__m128 SatVector(__m128 v) {
    return _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(1.0f));
}

// out = Sat(a * b) or, without b, Sat(a), over every lane.
void SatLanes(const float* a, const float* b, float* out) {
    for (unsigned i = 0; i < kSoftLanes; i += 4) {
        __m128 v = _mm_load_ps(a + i);
        if (b)
            v = _mm_mul_ps(v, _mm_load_ps(b + i));
        _mm_store_ps(out + i, SatVector(v));
    }
}

template <class T>
bool Compare(DWORD func, T incoming, T stored) {
    switch (func) {
        case D3DCMP_NEVER:
            return false;
        case D3DCMP_LESS:
            return incoming < stored;
        case D3DCMP_EQUAL:
            return incoming == stored;
        case D3DCMP_LESSEQUAL:
            return incoming <= stored;
        case D3DCMP_GREATER:
            return incoming > stored;
        case D3DCMP_NOTEQUAL:
            return incoming != stored;
        case D3DCMP_GREATEREQUAL:
            return incoming >= stored;
        default:
            return true;
    }
}

BYTE StencilOp(DWORD op, BYTE value, BYTE ref) {
    switch (op) {
        case D3DSTENCILOP_ZERO:
            return 0;
        case D3DSTENCILOP_REPLACE:
            return ref;
        case D3DSTENCILOP_INCRSAT:
            return value == 0xFF ? value : static_cast<BYTE>(value + 1);
        case D3DSTENCILOP_DECRSAT:
            return value == 0 ? value : static_cast<BYTE>(value - 1);
        case D3DSTENCILOP_INVERT:
            return static_cast<BYTE>(~value);
        case D3DSTENCILOP_INCR:
            return static_cast<BYTE>(value + 1);
        case D3DSTENCILOP_DECR:
            return static_cast<BYTE>(value - 1);
        default:
            return value;
    }
}

// A blend factor for every lane: rgb in out[0..2], alpha in out[3]. BOTHSRCALPHA and
// BOTHINVSRCALPHA read as their source half here; the caller derives the destination half.
void BlendFactor(DWORD factor, const Lanes* s, const Lanes* d, const float* constant, Lanes* out) {
    for (int c = 0; c < 4; ++c) {
        float* o = out[c];
        switch (factor) {
            case D3DBLEND_ZERO:
                std::fill(o, o + kSoftLanes, 0.0f);
                break;
            case D3DBLEND_SRCCOLOR:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = s[c][i];
                break;
            case D3DBLEND_INVSRCCOLOR:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = 1.0f - s[c][i];
                break;
            case D3DBLEND_SRCALPHA:
            case D3DBLEND_BOTHSRCALPHA:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = s[3][i];
                break;
            case D3DBLEND_INVSRCALPHA:
            case D3DBLEND_BOTHINVSRCALPHA:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = 1.0f - s[3][i];
                break;
            case D3DBLEND_DESTALPHA:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = d[3][i];
                break;
            case D3DBLEND_INVDESTALPHA:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = 1.0f - d[3][i];
                break;
            case D3DBLEND_DESTCOLOR:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = d[c][i];
                break;
            case D3DBLEND_INVDESTCOLOR:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = 1.0f - d[c][i];
                break;
            case D3DBLEND_SRCALPHASAT:
                for (unsigned i = 0; i < kSoftLanes; ++i)
                    o[i] = c == 3 ? 1.0f : std::min(s[3][i], 1.0f - d[3][i]);
                break;
            case D3DBLEND_BLENDFACTOR:
                std::fill(o, o + kSoftLanes, constant[c]);
                break;
            case D3DBLEND_INVBLENDFACTOR:
                std::fill(o, o + kSoftLanes, 1.0f - constant[c]);
                break;
            default:  // ONE
                std::fill(o, o + kSoftLanes, 1.0f);
                break;
        }
    }
}

// out = s * fs (op) d * fd over every lane of one channel.
void BlendOp(DWORD op, const float* s, const float* fs, const float* d, const float* fd,
             float* out) {
    switch (op) {
        case D3DBLENDOP_SUBTRACT:
            for (unsigned i = 0; i < kSoftLanes; ++i) out[i] = s[i] * fs[i] - d[i] * fd[i];
            break;
        case D3DBLENDOP_REVSUBTRACT:
            for (unsigned i = 0; i < kSoftLanes; ++i) out[i] = d[i] * fd[i] - s[i] * fs[i];
            break;
        case D3DBLENDOP_MIN:
            for (unsigned i = 0; i < kSoftLanes; ++i) out[i] = std::min(s[i], d[i]);
            break;
        case D3DBLENDOP_MAX:
            for (unsigned i = 0; i < kSoftLanes; ++i) out[i] = std::max(s[i], d[i]);
            break;
        default:
            for (unsigned i = 0; i < kSoftLanes; ++i) out[i] = s[i] * fs[i] + d[i] * fd[i];
            break;
    }
}

bool IsFloatFormat(D3DFORMAT f) {
    return f == D3DFMT_R16F || f == D3DFMT_G16R16F || f == D3DFMT_A16B16G16R16F ||
           f == D3DFMT_R32F || f == D3DFMT_G32R32F || f == D3DFMT_A32B32G32R32F;
}

// One texture-stage operation over a channel range of every lane. Results saturate, as the
// fixed-function stages do.
void StageOp(DWORD op, int c0, int c1, const float* const* a1, const float* const* a2,
             const float* const* a0, const float* diffuseAlpha, const float* textureAlpha,
             float factorAlpha, const float* currentAlpha, Lanes* out) {
    for (int c = c0; c < c1; ++c) {
        float* o = out[c];
        const float *x = a1[c], *y = a2[c], *z = a0[c];
        switch (op) {
            case D3DTOP_SELECTARG2:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = y[i];
                break;
            case D3DTOP_MODULATE:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = x[i] * y[i];
                break;
            case D3DTOP_MODULATE2X:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = x[i] * y[i] * 2.0f;
                break;
            case D3DTOP_MODULATE4X:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = x[i] * y[i] * 4.0f;
                break;
            case D3DTOP_ADD:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = x[i] + y[i];
                break;
            case D3DTOP_MULTIPLYADD:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = z[i] + x[i] * y[i];
                break;
            case D3DTOP_BLENDDIFFUSEALPHA:
                for (unsigned i = 0; i < kSoftLanes; ++i)
                    o[i] = x[i] * diffuseAlpha[i] + y[i] * (1.0f - diffuseAlpha[i]);
                break;
            case D3DTOP_BLENDTEXTUREALPHA:
                for (unsigned i = 0; i < kSoftLanes; ++i)
                    o[i] = x[i] * textureAlpha[i] + y[i] * (1.0f - textureAlpha[i]);
                break;
            case D3DTOP_BLENDFACTORALPHA:
                for (unsigned i = 0; i < kSoftLanes; ++i)
                    o[i] = x[i] * factorAlpha + y[i] * (1.0f - factorAlpha);
                break;
            case D3DTOP_BLENDCURRENTALPHA:
                for (unsigned i = 0; i < kSoftLanes; ++i)
                    o[i] = x[i] * currentAlpha[i] + y[i] * (1.0f - currentAlpha[i]);
                break;
            case D3DTOP_MODULATEALPHA_ADDCOLOR:
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = x[i] + a1[3][i] * y[i];
                break;
            default:  // SELECTARG1, and operations the stages do not offer
                for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = x[i];
                break;
        }
        for (unsigned i = 0; i < kSoftLanes; ++i) o[i] = Sat(o[i]);
    }
}

}  // namespace

bool SoftPixelPipeline::Prepare(const SoftDeviceState& state, const SoftVertices& vertices,
                                std::shared_ptr<const SoftProgram> program,
                                const SoftTextureUnits* units, bool fixedVertex) {
    const auto& rs = state.renderStates;
    SoftSurface9* rt = state.renderTargets[0].Get();
    if (!rt || !PixelCodec::Supports(rt->Format()))
        return false;
    target_ = rt->Bits();
    targetPitch_ = rt->Pitch();
    targetFormat_ = rt->Format();
    targetBpp_ = D3D9Format::Find(targetFormat_)->bytesPerPixel;

    const D3DVIEWPORT9& vp = state.viewport;
    long long left = vp.X, top = vp.Y;
    long long right = static_cast<long long>(vp.X) + vp.Width - 1;
    long long bottom = static_cast<long long>(vp.Y) + vp.Height - 1;
    right = std::min<long long>(right, static_cast<long long>(rt->Width()) - 1);
    bottom = std::min<long long>(bottom, static_cast<long long>(rt->Height()) - 1);
    if (rs[D3DRS_SCISSORTESTENABLE]) {
        const RECT& sc = state.scissorRect;
        left = std::max<long long>(left, sc.left);
        top = std::max<long long>(top, sc.top);
        right = std::min<long long>(right, static_cast<long long>(sc.right) - 1);
        bottom = std::min<long long>(bottom, static_cast<long long>(sc.bottom) - 1);
    }

    SoftSurface9* ds = state.depthStencil.Get();
    depthTest_ = ds && rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    stencilTest_ = ds && ds->HasStencil() && rs[D3DRS_STENCILENABLE];
    if (depthTest_ || stencilTest_) {
        // A depth buffer smaller than the target limits the pixels drawn.
        right = std::min<long long>(right, static_cast<long long>(ds->Width()) - 1);
        bottom = std::min<long long>(bottom, static_cast<long long>(ds->Height()) - 1);
        depth_ = ds->Depth();
        stencil_ = ds->Stencil();
        depthWidth_ = ds->Width();
    }
    if (left > right || top > bottom)
        return false;
    bounds_ = RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                   static_cast<LONG>(bottom)};

    depthWrite_ = depthTest_ && rs[D3DRS_ZWRITEENABLE];
    depthFunc_ = rs[D3DRS_ZFUNC];
    depthMin_ = std::min(vp.MinZ, vp.MaxZ);
    depthMax_ = std::max(vp.MinZ, vp.MaxZ);
    twoSided_ = rs[D3DRS_TWOSIDEDSTENCILMODE] != 0;
    stencilFunc_[0] = rs[D3DRS_STENCILFUNC];
    stencilFail_[0] = rs[D3DRS_STENCILFAIL];
    stencilDepthFail_[0] = rs[D3DRS_STENCILZFAIL];
    stencilPass_[0] = rs[D3DRS_STENCILPASS];
    stencilFunc_[1] = rs[D3DRS_CCW_STENCILFUNC];
    stencilFail_[1] = rs[D3DRS_CCW_STENCILFAIL];
    stencilDepthFail_[1] = rs[D3DRS_CCW_STENCILZFAIL];
    stencilPass_[1] = rs[D3DRS_CCW_STENCILPASS];
    stencilRef_ = rs[D3DRS_STENCILREF] & 0xFF;
    stencilMask_ = rs[D3DRS_STENCILMASK] & 0xFF;
    stencilWriteMask_ = rs[D3DRS_STENCILWRITEMASK] & 0xFF;
    alphaTest_ = rs[D3DRS_ALPHATESTENABLE] != 0;
    alphaFunc_ = rs[D3DRS_ALPHAFUNC];
    alphaRef_ = rs[D3DRS_ALPHAREF] & 0xFF;
    cull_ = rs[D3DRS_CULLMODE];
    flat_ = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    depthBias_ = FloatOf(rs[D3DRS_DEPTHBIAS]);
    slopeBias_ = FloatOf(rs[D3DRS_SLOPESCALEDEPTHBIAS]);

    blend_ = rs[D3DRS_ALPHABLENDENABLE] != 0;
    srcBlend_ = rs[D3DRS_SRCBLEND];
    destBlend_ = rs[D3DRS_DESTBLEND];
    blendOp_ = rs[D3DRS_BLENDOP];
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        srcBlendAlpha_ = rs[D3DRS_SRCBLENDALPHA];
        destBlendAlpha_ = rs[D3DRS_DESTBLENDALPHA];
        blendOpAlpha_ = rs[D3DRS_BLENDOPALPHA];
    } else {
        srcBlendAlpha_ = srcBlend_;
        destBlendAlpha_ = destBlend_;
        blendOpAlpha_ = blendOp_;
    }
    PixelCodec::Rgba bf = PixelCodec::FromColor(rs[D3DRS_BLENDFACTOR]);
    blendFactor_[0] = bf.r;
    blendFactor_[1] = bf.g;
    blendFactor_[2] = bf.b;
    blendFactor_[3] = bf.a;
    writeMask_ = rs[D3DRS_COLORWRITEENABLE] & 0xF;
    overBlend_ = blend_ && srcBlend_ == D3DBLEND_SRCALPHA && destBlend_ == D3DBLEND_INVSRCALPHA &&
                 blendOp_ == D3DBLENDOP_ADD && srcBlendAlpha_ == D3DBLEND_SRCALPHA &&
                 destBlendAlpha_ == D3DBLEND_INVSRCALPHA && blendOpAlpha_ == D3DBLENDOP_ADD &&
                 (targetFormat_ == D3DFMT_A8R8G8B8 || targetFormat_ == D3DFMT_X8R8G8B8);

    fog_ = rs[D3DRS_FOGENABLE] != 0;
    fogTable_ = rs[D3DRS_FOGTABLEMODE];
    const D3DMATRIX& projection = state.transforms[D3DTS_PROJECTION];
    // Table fog measures eye distance (w) under a perspective projection, depth otherwise.
    fogFromW_ = !vertices.screenSpace && !program && projection._34 != 0.0f;
    PixelCodec::Rgba fc = PixelCodec::FromColor(rs[D3DRS_FOGCOLOR]);
    fogColor_[0] = fc.r;
    fogColor_[1] = fc.g;
    fogColor_[2] = fc.b;
    fogStart_ = FloatOf(rs[D3DRS_FOGSTART]);
    fogEnd_ = FloatOf(rs[D3DRS_FOGEND]);
    fogDensity_ = FloatOf(rs[D3DRS_FOGDENSITY]);

    // The attributes the triangles carry.
    varyings_.clear();
    attributeFloats_ = 0;
    auto add = [&](SoftSemantic semantic, UINT components) -> int {
        for (std::size_t i = 0; i < varyings_.size(); ++i) {
            if (varyings_[i].semantic == semantic) {
                if (varyings_[i].components < components) {
                    // Widen: the offsets after it move.
                    UINT grow = components - varyings_[i].components;
                    varyings_[i].components = components;
                    for (std::size_t j = i + 1; j < varyings_.size(); ++j)
                        varyings_[j].offset += grow;
                    attributeFloats_ += grow;
                }
                return static_cast<int>(i);
            }
        }
        if (varyings_.size() == kMaxVaryings)
            return -1;
        varyings_.push_back({semantic, vertices.Find(semantic), components, attributeFloats_});
        attributeFloats_ += components;
        return static_cast<int>(varyings_.size() - 1);
    };

    program_ = std::move(program);
    units_ = units;
    programInputs_.clear();
    colorOutput_ = depthOutput_ = -1;
    diffuseVarying_ = specularVarying_ = fogVarying_ = -1;
    stageCount_ = 0;
    specularAdd_ = false;
    usesTemp_ = false;
    if (program_) {
        for (const SoftSemantic& in : program_->Inputs()) programInputs_.push_back(add(in, 4));
        const std::vector<SoftSemantic>& outs = program_->Outputs();
        for (std::size_t i = 0; i < outs.size(); ++i) {
            if (outs[i] == SoftSemantic{D3DDECLUSAGE_COLOR, 0})
                colorOutput_ = static_cast<int>(i);
            if (outs[i] == SoftSemantic{D3DDECLUSAGE_DEPTH, 0})
                depthOutput_ = static_cast<int>(i);
        }
    } else {
        diffuseVarying_ = add({D3DDECLUSAGE_COLOR, 0}, 4);
        bool specular = rs[D3DRS_SPECULARENABLE] != 0;
        specularAdd_ = specular;
        PixelCodec::Rgba tf = PixelCodec::FromColor(rs[D3DRS_TEXTUREFACTOR]);
        tfactor_[0] = tf.r;
        tfactor_[1] = tf.g;
        tfactor_[2] = tf.b;
        tfactor_[3] = tf.a;
        for (UINT s = 0; s < kStages; ++s) {
            const auto& ss = state.stageStates[s];
            if (ss[D3DTSS_COLOROP] == D3DTOP_DISABLE)
                break;
            Stage& st = stages_[s];
            st.colorOp = ss[D3DTSS_COLOROP];
            st.colorArg[0] = ss[D3DTSS_COLORARG1];
            st.colorArg[1] = ss[D3DTSS_COLORARG2];
            st.colorArg[2] = ss[D3DTSS_COLORARG0];
            st.alphaOp = ss[D3DTSS_ALPHAOP];
            st.alphaArg[0] = ss[D3DTSS_ALPHAARG1];
            st.alphaArg[1] = ss[D3DTSS_ALPHAARG2];
            st.alphaArg[2] = ss[D3DTSS_ALPHAARG0];
            st.result = ss[D3DTSS_RESULTARG];
            PixelCodec::Rgba k = PixelCodec::FromColor(ss[D3DTSS_CONSTANT]);
            st.constant[0] = k.r;
            st.constant[1] = k.g;
            st.constant[2] = k.b;
            st.constant[3] = k.a;
            for (int a = 0; a < 3; ++a) {
                if ((st.colorArg[a] & D3DTA_SELECTMASK) == D3DTA_SPECULAR ||
                    (st.alphaArg[a] & D3DTA_SELECTMASK) == D3DTA_SPECULAR)
                    specular = true;
                if ((st.colorArg[a] & D3DTA_SELECTMASK) == D3DTA_TEMP ||
                    (st.alphaArg[a] & D3DTA_SELECTMASK) == D3DTA_TEMP)
                    usesTemp_ = true;
            }
            SoftBaseTexture9* texture = state.textures[s].Get();
            st.textured = texture != nullptr;
            st.coordVarying = -1;
            st.projectDivide = -1;
            st.cube = false;
            if (st.textured) {
                DWORD tci = ss[D3DTSS_TEXCOORDINDEX];
                BYTE index = static_cast<BYTE>(fixedVertex ? s : (tci & 0xFFFF));
                DWORD flags = ss[D3DTSS_TEXTURETRANSFORMFLAGS];
                UINT count = flags & 0xFF;
                st.coordCount = 2;
                st.cube = texture->Type() == D3DRTYPE_CUBETEXTURE;
                if (st.cube)
                    st.coordCount = 3;
                UINT components = st.coordCount;
                if ((flags & D3DTTFF_PROJECTED) && count >= 2 && count <= 4) {
                    st.projectDivide = static_cast<int>(count) - 1;
                    components = std::max(components, count);
                }
                st.coordVarying = add({D3DDECLUSAGE_TEXCOORD, index}, components);
            }
            ++stageCount_;
        }
        if (specular)
            specularVarying_ = add({D3DDECLUSAGE_COLOR, 1}, 4);
        if (fog_ && fogTable_ == D3DFOG_NONE && vertices.Find({D3DDECLUSAGE_FOG, 0}) >= 0)
            fogVarying_ = add({D3DDECLUSAGE_FOG, 0}, 1);
    }
    simpleStage_ = program_ ? SimpleStage::None : SimpleStageOf();
    bool discards = program_ && (program_->MayDiscard() || depthOutput_ >= 0);
    earlyDepth_ = !alphaTest_ && !discards;
    return true;
}

void SoftPixelPipeline::BeginDraw(Scratch& scratch) const {
    scratch.samplesPassed = 0;
    scratch.runnerPrepared = false;
    if (program_ && scratch.runnerProgram != program_) {
        scratch.runner = program_->NewRunner();
        scratch.runnerProgram = program_;
    }
}

unsigned SoftPixelPipeline::DepthStencil(unsigned mask, const int* x, const int* y, const float* z,
                                         bool ccw, Scratch& scratch) const {
    if (!depthTest_ && !stencilTest_) {
        scratch.samplesPassed += static_cast<ULONGLONG>(__builtin_popcount(mask));
        return mask;
    }
    if (!stencilTest_) {
        unsigned passed = 0;
        switch (depthFunc_) {
            case D3DCMP_LESS:
                passed = DepthOnly(mask, x, y, z, [](float a, float b) { return a < b; });
                break;
            case D3DCMP_LESSEQUAL:
                passed = DepthOnly(mask, x, y, z, [](float a, float b) { return a <= b; });
                break;
            case D3DCMP_GREATER:
                passed = DepthOnly(mask, x, y, z, [](float a, float b) { return a > b; });
                break;
            case D3DCMP_GREATEREQUAL:
                passed = DepthOnly(mask, x, y, z, [](float a, float b) { return a >= b; });
                break;
            default:
                passed = DepthOnly(mask, x, y, z,
                                   [f = depthFunc_](float a, float b) { return Compare(f, a, b); });
                break;
        }
        scratch.samplesPassed += static_cast<ULONGLONG>(__builtin_popcount(passed));
        return passed;
    }
    int side = twoSided_ && ccw ? 1 : 0;
    BYTE ref = static_cast<BYTE>(stencilRef_);
    auto update = [&](BYTE* s, DWORD op) {
        BYTE next = StencilOp(op, *s, ref);
        *s = static_cast<BYTE>((*s & ~stencilWriteMask_) | (next & stencilWriteMask_));
    };
    unsigned passed = 0;
    for (unsigned i = 0; i < kSoftLanes; ++i) {
        if (!(mask & (1u << i)))
            continue;
        std::size_t index = static_cast<std::size_t>(y[i]) * depthWidth_ + x[i];
        if (stencilTest_) {
            BYTE* s = stencil_ + index;
            if (!Compare<DWORD>(stencilFunc_[side], ref & stencilMask_, *s & stencilMask_)) {
                update(s, stencilFail_[side]);
                continue;
            }
        }
        if (depthTest_ && !Compare<float>(depthFunc_, z[i], depth_[index])) {
            if (stencilTest_)
                update(stencil_ + index, stencilDepthFail_[side]);
            continue;
        }
        if (stencilTest_)
            update(stencil_ + index, stencilPass_[side]);
        if (depthWrite_)
            depth_[index] = z[i];
        passed |= 1u << i;
    }
    scratch.samplesPassed += static_cast<ULONGLONG>(__builtin_popcount(passed));
    return passed;
}

template <class Test>
unsigned SoftPixelPipeline::DepthOnly(unsigned mask, const int* x, const int* y, const float* z,
                                      Test test) const {
    unsigned passed = 0;
    for (unsigned i = 0; i < kSoftLanes; ++i) {
        if (!(mask & (1u << i)))
            continue;
        float* stored = depth_ + static_cast<std::size_t>(y[i]) * depthWidth_ + x[i];
        if (!test(z[i], *stored))
            continue;
        if (depthWrite_)
            *stored = z[i];
        passed |= 1u << i;
    }
    return passed;
}

void SoftPixelPipeline::Shade(const SoftRasterizer::Triangle& t,
                              const SoftRasterizer::Plane* planes,
                              const SoftRasterizer::QuadBatch& batch, Scratch& s) const {
    int x[kSoftLanes], y[kSoftLanes];
    alignas(64) float fx[kSoftLanes], fy[kSoftLanes];
    for (unsigned q = 0; q < 4; ++q) {
        for (unsigned k = 0; k < 4; ++k) {
            unsigned i = 4 * q + k;
            x[i] = batch.x[q] + static_cast<int>(k & 1);
            y[i] = batch.y[q] + static_cast<int>(k >> 1);
            fx[i] = static_cast<float>(x[i]) - t.x0;
            fy[i] = static_cast<float>(y[i]) - t.y0;
        }
    }
    // Plane coefficients in locals: the lane loops then vectorise without overlap checks.
    const SoftRasterizer::Plane* p = planes + t.firstPlane;
    const float zc = p[0].c, zx = p[0].dx, zy = p[0].dy;
    float* z = s.z;
    // v > min ? (v < max ? v : max) : min, four lanes at a time (NaN reads as min).
    const __m128 lo = _mm_set1_ps(depthMin_), hi = _mm_set1_ps(depthMax_);
    for (unsigned i = 0; i < kSoftLanes; i += 4) {
        const __m128 v = _mm_add_ps(
            _mm_add_ps(_mm_set1_ps(zc), _mm_mul_ps(_mm_set1_ps(zx), _mm_load_ps(fx + i))),
            _mm_mul_ps(_mm_set1_ps(zy), _mm_load_ps(fy + i)));
        const __m128 above = _mm_cmpgt_ps(v, lo);
        _mm_store_ps(z + i,
                     _mm_or_ps(_mm_and_ps(above, _mm_min_ps(v, hi)), _mm_andnot_ps(above, lo)));
    }
    unsigned mask = batch.mask;
    if (earlyDepth_) {
        mask = DepthStencil(mask, x, y, z, t.counterClockwise, s);
        if (!mask || writeMask_ == 0)
            return;
    }

    alignas(64) float w[kSoftLanes];
    const float wc = p[1].c, wx = p[1].dx, wy = p[1].dy;
    for (unsigned i = 0; i < kSoftLanes; ++i) w[i] = 1.0f / (wc + wx * fx[i] + wy * fy[i]);
    for (UINT k = 0; k < attributeFloats_; ++k) {
        const float ac = p[2 + k].c, ax = p[2 + k].dx, ay = p[2 + k].dy;
        float* out = s.var[k];
        for (unsigned i = 0; i < kSoftLanes; ++i) out[i] = (ac + ax * fx[i] + ay * fy[i]) * w[i];
    }
    // Attributes no vertex slot feeds read (0, 0, 0, 1).
    for (const Varying& v : varyings_)
        if (v.slot < 0)
            for (UINT c = 0; c < v.components; ++c)
                std::fill(s.var[v.offset + c], s.var[v.offset + c] + kSoftLanes,
                          c == 3 ? 1.0f : 0.0f);

    if (program_) {
        mask &= ~ShadeProgram(s);
        if (depthOutput_ >= 0) {
            const float* d = s.runner->Output(static_cast<std::size_t>(depthOutput_), 0);
            for (unsigned i = 0; i < kSoftLanes; ++i)
                z[i] = d[i] > depthMin_ ? (d[i] < depthMax_ ? d[i] : depthMax_) : depthMin_;
        }
    } else {
        ShadeFixed(s);
    }

    if (fog_) {
        alignas(64) float f[kSoftLanes];
        bool apply = true;
        if (fogTable_ != D3DFOG_NONE) {
            for (unsigned i = 0; i < kSoftLanes; ++i)
                f[i] = SoftShading::Fog(fogTable_, fogFromW_ ? w[i] : z[i], fogStart_, fogEnd_,
                                        fogDensity_);
        } else if (fogVarying_ >= 0) {
            const float* v = s.var[varyings_[static_cast<std::size_t>(fogVarying_)].offset];
            for (unsigned i = 0; i < kSoftLanes; ++i) f[i] = Sat(v[i]);
        } else {
            apply = false;
        }
        if (apply)
            for (int c = 0; c < 3; ++c)
                for (unsigned i = 0; i < kSoftLanes; ++i)
                    s.color[c][i] = f[i] * s.color[c][i] + (1.0f - f[i]) * fogColor_[c];
    }

    if (alphaTest_) {
        for (unsigned i = 0; i < kSoftLanes; ++i) {
            if (!(mask & (1u << i)))
                continue;
            float a = Sat(s.color[3][i]);
            auto a8 = static_cast<DWORD>(a * 255.0f + 0.5f);
            if (!Compare<DWORD>(alphaFunc_, a8, alphaRef_))
                mask &= ~(1u << i);
        }
    }
    if (!earlyDepth_)
        mask = DepthStencil(mask, x, y, z, t.counterClockwise, s);
    if (mask && writeMask_)
        Merge(mask, x, y, s);
}

unsigned SoftPixelPipeline::ShadeProgram(Scratch& s) const {
    SoftProgramRunner& runner = *s.runner;
    if (!s.runnerPrepared) {
        runner.BeginDraw();
        s.runnerPrepared = true;
    }
    runner.ResetInputs();
    for (std::size_t i = 0; i < programInputs_.size(); ++i) {
        if (programInputs_[i] < 0)
            continue;
        const Varying& v = varyings_[static_cast<std::size_t>(programInputs_[i])];
        for (UINT c = 0; c < v.components; ++c)
            std::memcpy(runner.Input(i, c), s.var[v.offset + c], sizeof(float) * kSoftLanes);
    }
    runner.Run(*units_);
    for (int c = 0; c < 4; ++c) {
        if (colorOutput_ >= 0)
            std::memcpy(s.color[c], runner.Output(static_cast<std::size_t>(colorOutput_), c),
                        sizeof(float) * kSoftLanes);
        else
            std::fill(s.color[c], s.color[c] + kSoftLanes, c == 3 ? 1.0f : 0.0f);
    }
    return runner.DiscardedLanes();
}

SoftPixelPipeline::SimpleStage SoftPixelPipeline::SimpleStageOf() const {
    if (stageCount_ != 1 || specularAdd_ || usesTemp_ || diffuseVarying_ < 0 ||
        varyings_[static_cast<std::size_t>(diffuseVarying_)].components != 4)
        return SimpleStage::None;
    const Stage& st = stages_[0];
    if (st.result != D3DTA_CURRENT)
        return SimpleStage::None;
    // At the first stage the current colour is the diffuse one.
    auto diffuse = [](DWORD a) { return a == D3DTA_DIFFUSE || a == D3DTA_CURRENT; };
    auto modulates = [&](DWORD op, const DWORD* a) {
        return op == D3DTOP_MODULATE && ((a[0] == D3DTA_TEXTURE && diffuse(a[1])) ||
                                         (diffuse(a[0]) && a[1] == D3DTA_TEXTURE));
    };
    if (st.colorOp == D3DTOP_SELECTARG1 && diffuse(st.colorArg[0]) &&
        st.alphaOp == D3DTOP_SELECTARG1 && diffuse(st.alphaArg[0]))
        return SimpleStage::Diffuse;
    if (st.textured && !st.cube && st.projectDivide < 0 && st.coordCount == 2 &&
        varyings_[static_cast<std::size_t>(st.coordVarying)].components >= 2 &&
        modulates(st.colorOp, st.colorArg) && modulates(st.alphaOp, st.alphaArg))
        return SimpleStage::ModulateTexture;
    return SimpleStage::None;
}

// The general stages below give the same bits: products are exact to commute, and saturating
// twice is saturating once.
void SoftPixelPipeline::ShadeSimple(Scratch& s) const {
    const Varying& d = varyings_[static_cast<std::size_t>(diffuseVarying_)];
    if (simpleStage_ == SimpleStage::Diffuse) {
        for (int c = 0; c < 4; ++c) SatLanes(s.var[d.offset + c], nullptr, s.color[c]);
        return;
    }
    alignas(64) Lanes tex[4], zero = {};
    const Varying& v = varyings_[static_cast<std::size_t>(stages_[0].coordVarying)];
    SoftSampleRequest request;
    request.stage = 0;
    request.dim = SoftTextureDim::Tex2D;
    request.coordinates = 2;
    request.coord[0] = s.var[v.offset];
    request.coord[1] = s.var[v.offset + 1];
    request.coord[2] = v.components > 2 ? s.var[v.offset + 2] : zero;
    for (int c = 0; c < 4; ++c) request.out[c] = tex[c];
    units_->Sample(request);
    alignas(64) Lanes diffuse;
    for (int c = 0; c < 4; ++c) {
        SatLanes(s.var[d.offset + c], nullptr, diffuse);
        SatLanes(tex[c], diffuse, s.color[c]);
    }
}

void SoftPixelPipeline::ShadeFixed(Scratch& s) const {
    if (simpleStage_ != SimpleStage::None) {
        ShadeSimple(s);
        return;
    }
    alignas(64) Lanes diffuse[4], specular[4], current[4], temp[4], tex[4];
    alignas(64) Lanes arg[3][4], result[4];
    auto load = [&](int varying, Lanes* out, float fallback, float fallbackAlpha) {
        for (int c = 0; c < 4; ++c) {
            if (varying >= 0) {
                const Varying& v = varyings_[static_cast<std::size_t>(varying)];
                if (static_cast<UINT>(c) < v.components) {
                    std::memcpy(out[c], s.var[v.offset + c], sizeof(Lanes));
                    for (unsigned i = 0; i < kSoftLanes; ++i) out[c][i] = Sat(out[c][i]);
                    continue;
                }
            }
            std::fill(out[c], out[c] + kSoftLanes, c == 3 ? fallbackAlpha : fallback);
        }
    };
    load(diffuseVarying_, diffuse, 1.0f, 1.0f);
    if (specularVarying_ >= 0)
        load(specularVarying_, specular, 0.0f, 0.0f);
    std::memcpy(current, diffuse, sizeof(current));
    if (usesTemp_)
        for (auto& c : temp) std::fill(c, c + kSoftLanes, 0.0f);

    for (UINT st = 0; st < stageCount_; ++st) {
        const Stage& stage = stages_[st];
        if (stage.textured) {
            const Varying& v = varyings_[static_cast<std::size_t>(stage.coordVarying)];
            // Coordinates are read in place unless projected or missing components.
            alignas(64) Lanes coord[3];
            const float* coords[3];
            for (UINT k = 0; k < 3; ++k) {
                if (k < v.components && stage.projectDivide < 0) {
                    coords[k] = s.var[v.offset + k];
                    continue;
                }
                if (k < v.components)
                    std::memcpy(coord[k], s.var[v.offset + k], sizeof(Lanes));
                else
                    std::fill(coord[k], coord[k] + kSoftLanes, 0.0f);
                coords[k] = coord[k];
            }
            if (stage.projectDivide >= 0) {
                const float* q = s.var[v.offset + static_cast<UINT>(stage.projectDivide)];
                for (UINT k = 0; k < stage.coordCount; ++k)
                    for (unsigned i = 0; i < kSoftLanes; ++i) coord[k][i] /= q[i];
            }
            SoftSampleRequest request;
            request.stage = st;
            request.dim = stage.cube ? SoftTextureDim::Cube : SoftTextureDim::Tex2D;
            request.coordinates = stage.coordCount;
            for (UINT k = 0; k < 3; ++k) request.coord[k] = coords[k];
            for (int c = 0; c < 4; ++c) request.out[c] = tex[c];
            units_->Sample(request);
        } else {
            for (int c = 0; c < 4; ++c) std::fill(tex[c], tex[c] + kSoftLanes, 1.0f);
        }

        // Arguments: colour arguments fill channels 0-2, alpha arguments channel 3. An argument
        // without modifiers reads its source in place.
        auto source = [&](DWORD code) -> Lanes* {
            switch (code & D3DTA_SELECTMASK) {
                case D3DTA_DIFFUSE:
                    return diffuse;
                case D3DTA_CURRENT:
                    return current;
                case D3DTA_TEXTURE:
                    return tex;
                case D3DTA_SPECULAR:
                    return specular;
                case D3DTA_TEMP:
                    return temp;
                default:
                    return nullptr;  // a constant
            }
        };
        auto fill = [&](DWORD code, int c0, int c1, Lanes* buffer, const float** out) {
            Lanes* from = source(code);
            const float* k =
                (code & D3DTA_SELECTMASK) == D3DTA_CONSTANT ? stage.constant : tfactor_;
            for (int c = c0; c < c1; ++c) {
                int channel = (code & D3DTA_ALPHAREPLICATE) ? 3 : c;
                if (from && !(code & D3DTA_COMPLEMENT)) {
                    out[c] = from[channel];
                    continue;
                }
                if (from)
                    std::memcpy(buffer[c], from[channel], sizeof(Lanes));
                else
                    std::fill(buffer[c], buffer[c] + kSoftLanes, k[channel]);
                if (code & D3DTA_COMPLEMENT)
                    for (unsigned i = 0; i < kSoftLanes; ++i) buffer[c][i] = 1.0f - buffer[c][i];
                out[c] = buffer[c];
            }
        };
        const float* args[3][4];
        for (int a = 0; a < 3; ++a) {
            fill(stage.colorArg[a], 0, 3, arg[a], args[a]);
            fill(stage.alphaArg[a], 3, 4, arg[a], args[a]);
        }
        // A stage whose texture is missing passes the current colour (or alpha) on wherever it
        // would read the texture, as Direct3D 9 draws untextured geometry with default stages.
        auto readsTexture = [](const DWORD* a) {
            for (int k = 0; k < 3; ++k)
                if ((a[k] & D3DTA_SELECTMASK) == D3DTA_TEXTURE)
                    return true;
            return false;
        };
        bool colorPass = !stage.textured && readsTexture(stage.colorArg);
        bool alphaPass = !stage.textured && readsTexture(stage.alphaArg);
        if (colorPass || alphaPass) {
            alignas(64) Lanes kept[4];
            std::memcpy(kept, current, sizeof(kept));
            if (!colorPass)
                StageOp(stage.colorOp, 0, 3, args[0], args[1], args[2], diffuse[3], tex[3],
                        tfactor_[3], current[3], kept);
            if (!alphaPass && stage.alphaOp != D3DTOP_DISABLE)
                StageOp(stage.alphaOp, 3, 4, args[0], args[1], args[2], diffuse[3], tex[3],
                        tfactor_[3], current[3], kept);
            std::memcpy(result, kept, sizeof(kept));
        } else if (stage.colorOp == D3DTOP_DOTPRODUCT3) {
            for (unsigned i = 0; i < kSoftLanes; ++i) {
                float d = 0.0f;
                for (int c = 0; c < 3; ++c) d += (args[0][c][i] - 0.5f) * (args[1][c][i] - 0.5f);
                d = Sat(4.0f * d);
                for (int c = 0; c < 4; ++c) result[c][i] = d;
            }
        } else {
            // MODULATEALPHA_ADDCOLOR reads arg1's alpha from the colour argument.
            if (stage.colorOp == D3DTOP_MODULATEALPHA_ADDCOLOR) {
                const float* a1[4] = {args[0][0], args[0][1], args[0][2], nullptr};
                alignas(64) Lanes alpha;
                Lanes* from = source(stage.colorArg[0]);
                if (from)
                    a1[3] = from[3];
                else
                    a1[3] = alpha;
                std::fill(alpha, alpha + kSoftLanes, tfactor_[3]);
                StageOp(stage.colorOp, 0, 3, a1, args[1], args[2], diffuse[3], tex[3], tfactor_[3],
                        current[3], result);
            } else {
                StageOp(stage.colorOp, 0, 3, args[0], args[1], args[2], diffuse[3], tex[3],
                        tfactor_[3], current[3], result);
            }
            if (stage.alphaOp == D3DTOP_DISABLE)
                std::memcpy(result[3], current[3], sizeof(Lanes));
            else
                StageOp(stage.alphaOp, 3, 4, args[0], args[1], args[2], diffuse[3], tex[3],
                        tfactor_[3], current[3], result);
        }
        std::memcpy(stage.result == D3DTA_TEMP ? temp : current, result, sizeof(result));
    }

    if (specularAdd_)
        for (int c = 0; c < 3; ++c)
            for (unsigned i = 0; i < kSoftLanes; ++i)
                current[c][i] = Sat(current[c][i] + specular[c][i]);
    std::memcpy(s.color, current, sizeof(current));
}

void SoftPixelPipeline::Merge(unsigned mask, const int* x, const int* y, Scratch& s) const {
    bool fast = targetFormat_ == D3DFMT_A8R8G8B8 || targetFormat_ == D3DFMT_X8R8G8B8;
    bool readDest = blend_ || writeMask_ != 0xF;
    BYTE* pixel[kSoftLanes];
    for (unsigned i = 0; i < kSoftLanes; ++i)
        pixel[i] = (mask & (1u << i)) ? target_ + static_cast<std::size_t>(y[i]) * targetPitch_ +
                                            static_cast<std::size_t>(x[i]) * targetBpp_
                                      : nullptr;
    Lanes* src = s.color;
    if (!IsFloatFormat(targetFormat_))
        for (int c = 0; c < 4; ++c) SatLanes(src[c], nullptr, src[c]);

    alignas(64) Lanes dst[4];
    if (readDest && fast) {
        // Four stored words go straight into a vector: written to memory one by one and read
        // back as a vector, they would wait for the stores to retire.
        auto word = [](const BYTE* p) {
            DWORD v = 0xFF000000u;
            if (p)
                std::memcpy(&v, p, 4);
            return static_cast<int>(v);
        };
        const __m128i opaque =
            _mm_set1_epi32(targetFormat_ == D3DFMT_X8R8G8B8 ? static_cast<int>(0xFF000000u) : 0);
        const __m128i low = _mm_set1_epi32(0xFF);
        const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
        for (unsigned i = 0; i < kSoftLanes; i += 4) {
            const __m128i stored =
                _mm_or_si128(_mm_setr_epi32(word(pixel[i]), word(pixel[i + 1]), word(pixel[i + 2]),
                                            word(pixel[i + 3])),
                             opaque);
            auto channel = [&](int shift) {
                return _mm_mul_ps(
                    _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(stored, shift), low)), scale);
            };
            _mm_store_ps(dst[0] + i, channel(16));
            _mm_store_ps(dst[1] + i, channel(8));
            _mm_store_ps(dst[2] + i, channel(0));
            _mm_store_ps(dst[3] + i, channel(24));
        }
    } else if (readDest) {
        for (unsigned i = 0; i < kSoftLanes; ++i) {
            PixelCodec::Rgba d{0.0f, 0.0f, 0.0f, 1.0f};
            if (pixel[i])
                d = PixelCodec::Decode(targetFormat_, pixel[i]);
            dst[0][i] = d.r;
            dst[1][i] = d.g;
            dst[2][i] = d.b;
            dst[3][i] = d.a;
        }
    }

    alignas(64) Lanes out[4];
    if (overBlend_) {
        // The usual transparency blend, written out: the same operations in the same order as
        // the general path below, without its per-factor passes.
        for (unsigned i = 0; i < kSoftLanes; ++i) {
            const float a = src[3][i], ia = 1.0f - a;
            for (int c = 0; c < 3; ++c) out[c][i] = src[c][i] * a + dst[c][i] * ia;
            out[3][i] = src[3][i] * a + dst[3][i] * ia;
        }
    } else if (blend_) {
        alignas(64) Lanes fs[4], fd[4];
        BlendFactor(srcBlend_, src, dst, blendFactor_, fs);
        if (srcBlend_ == D3DBLEND_BOTHSRCALPHA || srcBlend_ == D3DBLEND_BOTHINVSRCALPHA) {
            for (int c = 0; c < 3; ++c)
                for (unsigned i = 0; i < kSoftLanes; ++i) fd[c][i] = 1.0f - fs[c][i];
        } else {
            BlendFactor(destBlend_, src, dst, blendFactor_, fd);
        }
        for (int c = 0; c < 3; ++c) BlendOp(blendOp_, src[c], fs[c], dst[c], fd[c], out[c]);
        if (srcBlendAlpha_ != srcBlend_ || destBlendAlpha_ != destBlend_) {
            BlendFactor(srcBlendAlpha_, src, dst, blendFactor_, fs);
            BlendFactor(destBlendAlpha_, src, dst, blendFactor_, fd);
        }
        if (srcBlendAlpha_ == D3DBLEND_BOTHSRCALPHA || srcBlendAlpha_ == D3DBLEND_BOTHINVSRCALPHA)
            for (unsigned i = 0; i < kSoftLanes; ++i) fd[3][i] = 1.0f - fs[3][i];
        BlendOp(blendOpAlpha_, src[3], fs[3], dst[3], fd[3], out[3]);
    } else {
        std::memcpy(out, src, sizeof(out));
    }
    for (int c = 0; c < 4; ++c)
        if (!(writeMask_ & (1u << c)))
            std::memcpy(out[c], dst[c], sizeof(Lanes));

    if (fast) {
        // Saturate, round to bytes and pack, four lanes at a time (SSE2 is part of every x86-64
        // processor); NaN packs as 0.
        alignas(16) DWORD word[kSoftLanes];
        bool opaque = targetFormat_ == D3DFMT_X8R8G8B8;
        const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
        const __m128 scale = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f);
        auto byte = [&](const float* v) {
            __m128 x = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(v), zero), one);
            return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(x, scale), half));
        };
        for (unsigned i = 0; i < kSoftLanes; i += 4) {
            __m128i a = opaque ? _mm_set1_epi32(0xFF) : byte(out[3] + i);
            __m128i v = _mm_or_si128(_mm_slli_epi32(a, 24), _mm_slli_epi32(byte(out[0] + i), 16));
            v = _mm_or_si128(v,
                             _mm_or_si128(_mm_slli_epi32(byte(out[1] + i), 8), byte(out[2] + i)));
            _mm_store_si128(reinterpret_cast<__m128i*>(word + i), v);
        }
        for (unsigned i = 0; i < kSoftLanes; ++i)
            if (pixel[i])
                std::memcpy(pixel[i], &word[i], 4);
    } else {
        for (unsigned i = 0; i < kSoftLanes; ++i)
            if (pixel[i])
                PixelCodec::Encode(targetFormat_, {out[0][i], out[1][i], out[2][i], out[3][i]},
                                   pixel[i]);
    }
}
