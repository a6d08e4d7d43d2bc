#include "Platform/D3DX9/Hlsl/ProgramContext.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace Hlsl {

namespace {

float Convert(Conversion c, std::uint32_t word) {
    switch (c) {
        case Conversion::Int:
            return static_cast<float>(static_cast<std::int32_t>(word));
        case Conversion::Bool:
            return word != 0 ? 1.0f : 0.0f;
        default:
            return std::bit_cast<float>(word);
    }
}

// The lane an index selects, clamped into the array like an out-of-range constant read.
inline std::uint32_t ClampIndex(float v, std::uint32_t count) {
    if (!(v > 0.0f))
        return 0;
    if (v >= static_cast<float>(count - 1))
        return count - 1;
    return static_cast<std::uint32_t>(v);
}

void QuadDerivatives(const float* v, float* dx, float* dy) {
    for (unsigned q = 0; q < kLanes; q += 4) {
        float x0 = v[q + 1] - v[q], x1 = v[q + 3] - v[q + 2];
        float y0 = v[q + 2] - v[q], y1 = v[q + 3] - v[q + 1];
        dx[q] = x0;
        dx[q + 1] = x0;
        dx[q + 2] = x1;
        dx[q + 3] = x1;
        dy[q] = y0;
        dy[q + 1] = y1;
        dy[q + 2] = y0;
        dy[q + 3] = y1;
    }
}

}  // namespace

ProgramContext::ProgramContext(const Program& program)
    : program_(program),
      registers_(static_cast<std::size_t>(program.registerCount) * kLanes, 0.0f),
      arrays_(program.arrayWords, 0.0f) {
    for (const Literal& l : program_.literals) {
        float* r = Reg(l.reg);
        for (unsigned i = 0; i < kLanes; ++i) r[i] = l.value;
    }
    ResetInputs();
}

void ProgramContext::BindConstants(const std::uint32_t* values, std::size_t count) {
    for (const ConstantLoad& c : program_.constants) {
        float v = c.word < count ? Convert(c.conversion, values[c.word]) : 0.0f;
        float* r = Reg(c.reg);
        for (unsigned i = 0; i < kLanes; ++i) r[i] = v;
    }
    for (const ArrayLoad& a : program_.arrays) {
        std::size_t per = a.conversions.size();
        for (std::uint32_t i = 0; i < a.count; ++i) {
            std::size_t w = static_cast<std::size_t>(a.word) + i;
            arrays_[a.bufferOffset + i] =
                w < count ? Convert(a.conversions[i % per], values[w]) : 0.0f;
        }
    }
}

void ProgramContext::ResetInputs() {
    for (const ProgramInput& in : program_.inputs)
        for (unsigned c = 0; c < 4; ++c) {
            float* r = Reg(in.firstRegister + c);
            for (unsigned i = 0; i < kLanes; ++i) r[i] = c == 3 ? 1.0f : 0.0f;
        }
}

void ProgramContext::DoSample(const SampleOp& op) {
    SampleRequest req;
    const ProgramSampler& ps = program_.samplers[op.sampler];
    req.stage = ps.stage;
    req.dim = op.dim;
    req.coordinates = op.dim == TextureDim::Tex1D ? 1 : op.dim == TextureDim::Tex2D ? 2 : 3;
    req.lod = op.lod;
    for (unsigned k = 0; k < req.coordinates; ++k) {
        const float* c = Reg(op.coord[k]);
        if (op.projected) {
            const float* q = Reg(op.coord[3]);
            for (unsigned i = 0; i < kLanes; ++i) scratch_[k][i] = c[i] / q[i];
            c = scratch_[k];
        }
        req.coord[k] = c;
        if (op.lod == LodMode::Implicit && program_.kind == ProgramKind::Pixel) {
            QuadDerivatives(c, ddx_[k], ddy_[k]);
            req.ddx[k] = ddx_[k];
            req.ddy[k] = ddy_[k];
        }
    }
    if (op.lod != LodMode::Implicit)
        req.lodValue = Reg(op.lodRegister);
    for (int k = 0; k < 4; ++k) req.out[k] = Reg(op.out[k]);
    if (sampler_ != nullptr) {
        sampler_->Sample(req);
    } else {
        for (int k = 0; k < 4; ++k)
            for (unsigned i = 0; i < kLanes; ++i) req.out[k][i] = k == 3 ? 1.0f : 0.0f;
    }
}

void ProgramContext::Run() {
    killed_ = 0;
    float* base = registers_.data();
    for (const Instruction& in : program_.code) {
        float* d = base + static_cast<std::size_t>(in.dst) * kLanes;
        const float* a = base + static_cast<std::size_t>(in.a) * kLanes;
        const float* b = base + static_cast<std::size_t>(in.b) * kLanes;
        const float* c = base + static_cast<std::size_t>(in.c) * kLanes;
        // Results go through a local block so that the compiler may assume no overlap between
        // destination and operands (they may be the same register) and keep the lanes in
        // vector registers.
#define ZEL_LANES(expr)                                       \
    {                                                         \
        alignas(64) float r_[kLanes];                         \
        for (unsigned i = 0; i < kLanes; ++i) r_[i] = (expr); \
        std::memcpy(d, r_, sizeof r_);                        \
    }
        switch (in.op) {
            case Op::Mov:
                ZEL_LANES(a[i]) break;
            case Op::Add:
                ZEL_LANES(a[i] + b[i]) break;
            case Op::Sub:
                ZEL_LANES(a[i] - b[i]) break;
            case Op::Mul:
                ZEL_LANES(a[i] * b[i]) break;
            case Op::Div:
                ZEL_LANES(a[i] / b[i]) break;
            case Op::Mad:
                ZEL_LANES(a[i] * b[i] + c[i]) break;
            case Op::Neg:
                ZEL_LANES(-a[i]) break;
            case Op::Abs:
                ZEL_LANES(std::fabs(a[i])) break;
            case Op::Min:
                ZEL_LANES(a[i] < b[i] ? a[i] : b[i]) break;
            case Op::Max:
                ZEL_LANES(a[i] > b[i] ? a[i] : b[i]) break;
            case Op::Sat:
                ZEL_LANES(a[i] > 0.0f ? (a[i] < 1.0f ? a[i] : 1.0f) : 0.0f) break;
            case Op::Floor:
                ZEL_LANES(std::floor(a[i])) break;
            case Op::Ceil:
                ZEL_LANES(std::ceil(a[i])) break;
            case Op::Frac:
                ZEL_LANES(a[i] - std::floor(a[i])) break;
            case Op::Trunc:
                ZEL_LANES(std::trunc(a[i])) break;
            case Op::Round:
                ZEL_LANES(std::nearbyint(a[i])) break;
            case Op::Rcp:
                ZEL_LANES(1.0f / a[i]) break;
            case Op::Rsq:
                ZEL_LANES(1.0f / std::sqrt(a[i])) break;
            case Op::Sqrt:
                ZEL_LANES(std::sqrt(a[i])) break;
            case Op::Exp:
                ZEL_LANES(std::exp(a[i])) break;
            case Op::Exp2:
                ZEL_LANES(std::exp2(a[i])) break;
            case Op::Log:
                ZEL_LANES(std::log(a[i])) break;
            case Op::Log2:
                ZEL_LANES(std::log2(a[i])) break;
            case Op::Pow:
                ZEL_LANES(std::pow(a[i], b[i])) break;
            case Op::Sin:
                ZEL_LANES(std::sin(a[i])) break;
            case Op::Cos:
                ZEL_LANES(std::cos(a[i])) break;
            case Op::Tan:
                ZEL_LANES(std::tan(a[i])) break;
            case Op::Asin:
                ZEL_LANES(std::asin(a[i])) break;
            case Op::Acos:
                ZEL_LANES(std::acos(a[i])) break;
            case Op::Atan:
                ZEL_LANES(std::atan(a[i])) break;
            case Op::Atan2:
                ZEL_LANES(std::atan2(a[i], b[i])) break;
            case Op::Fmod:
                ZEL_LANES(std::fmod(a[i], b[i])) break;
            case Op::Sign:
                ZEL_LANES(a[i] > 0.0f ? 1.0f : (a[i] < 0.0f ? -1.0f : 0.0f)) break;
            case Op::Lt:
                ZEL_LANES(a[i] < b[i] ? 1.0f : 0.0f) break;
            case Op::Le:
                ZEL_LANES(a[i] <= b[i] ? 1.0f : 0.0f) break;
            case Op::Eq:
                ZEL_LANES(a[i] == b[i] ? 1.0f : 0.0f) break;
            case Op::Ne:
                ZEL_LANES(a[i] != b[i] ? 1.0f : 0.0f) break;
            case Op::And:
                ZEL_LANES(a[i] != 0.0f && b[i] != 0.0f ? 1.0f : 0.0f) break;
            case Op::Or:
                ZEL_LANES(a[i] != 0.0f || b[i] != 0.0f ? 1.0f : 0.0f) break;
            case Op::Not:
                ZEL_LANES(a[i] == 0.0f ? 1.0f : 0.0f) break;
            case Op::Select:
                ZEL_LANES(a[i] != 0.0f ? b[i] : c[i]) break;
            case Op::Kill:
                for (unsigned i = 0; i < kLanes; ++i)
                    if (a[i] != 0.0f)
                        killed_ |= 1u << i;
                break;
            case Op::GatherConst: {
                const float* buf = arrays_.data();
                ZEL_LANES(buf[in.b + ClampIndex(a[i], in.d) * in.c])
                break;
            }
            case Op::GatherReg: {
                for (unsigned i = 0; i < kLanes; ++i)
                    d[i] = base[static_cast<std::size_t>(in.b + ClampIndex(a[i], in.d) * in.c) *
                                    kLanes +
                                i];
                break;
            }
            case Op::Ddx:
            case Op::Ddy: {
                float dx[kLanes], dy[kLanes];
                if (program_.kind == ProgramKind::Pixel) {
                    QuadDerivatives(a, dx, dy);
                    const float* src = in.op == Op::Ddx ? dx : dy;
                    ZEL_LANES(src[i])
                } else {
                    ZEL_LANES(0.0f)
                }
                break;
            }
            case Op::Sample:
                DoSample(program_.samples[in.b]);
                break;
            case Op::Count:
                break;
        }
#undef ZEL_LANES
    }
}

}  // namespace Hlsl
