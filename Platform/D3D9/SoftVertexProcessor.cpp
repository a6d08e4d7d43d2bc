#include "Platform/D3D9/SoftVertexProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Platform/D3D9/PixelCodec.h"
#include "Platform/D3D9/SoftDeviceState.h"
#include "Platform/D3D9/SoftShading.h"
#include "Platform/D3D9/SoftVertexBuffer9.h"
#include "Platform/D3D9/VertexLayout.h"

namespace {

struct Vec3 {
    float x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(Vec3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
float Length(Vec3 a) {
    return std::sqrt(Dot(a, a));
}
Vec3 Normalize(Vec3 a) {
    float l = Length(a);
    return l > 0.0f ? a * (1.0f / l) : a;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

// Row vector (x, y, z, w) times the matrix.
void Transform(const float v[4], const D3DMATRIX& m, float out[4]) {
    for (int j = 0; j < 4; ++j)
        out[j] = v[0] * m.m[0][j] + v[1] * m.m[1][j] + v[2] * m.m[2][j] + v[3] * m.m[3][j];
}

Vec3 TransformPoint(Vec3 p, const D3DMATRIX& m) {
    return {p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41,
            p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
            p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43};
}

Vec3 TransformDirection(Vec3 d, const D3DMATRIX& m) {
    return {d.x * m._11 + d.y * m._21 + d.z * m._31, d.x * m._12 + d.y * m._22 + d.z * m._32,
            d.x * m._13 + d.y * m._23 + d.z * m._33};
}

// The inverse transpose of the upper 3×3 (which carries normals); the matrix itself when it is
// singular.
D3DMATRIX NormalMatrix(const D3DMATRIX& m) {
    float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32,
          i = m._33;
    float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    float det = a * A + b * B + c * C;
    if (det == 0.0f || !std::isfinite(det))
        return m;
    float k = 1.0f / det;
    // inverse = adjugate / det; its transpose has the cofactors in place.
    D3DMATRIX r{};
    r._11 = A * k;
    r._12 = B * k;
    r._13 = C * k;
    r._21 = -(b * i - c * h) * k;
    r._22 = (a * i - c * g) * k;
    r._23 = -(a * h - b * g) * k;
    r._31 = (b * f - c * e) * k;
    r._32 = -(a * f - c * d) * k;
    r._33 = (a * e - b * d) * k;
    r._44 = 1.0f;
    return r;
}

float Half(const BYTE* p) {
    return PixelCodec::HalfToFloat(static_cast<WORD>(p[0] | (p[1] << 8)));
}

short Short(const BYTE* p) {
    return static_cast<short>(p[0] | (p[1] << 8));
}

WORD Ushort(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

float Clamp01(float v) {
    return SoftShading::Saturate(v);
}

float FloatState(const SoftDeviceState& state, DWORD s) {
    return SoftShading::StateFloat(state.renderStates[s]);
}

// Elements the fixed function reads.
struct FixedElements {
    const D3DVERTEXELEMENT9* position = nullptr;
    bool pretransformed = false;
    const D3DVERTEXELEMENT9* normal = nullptr;
    const D3DVERTEXELEMENT9* color[2] = {};
    const D3DVERTEXELEMENT9* tex[8] = {};
    const D3DVERTEXELEMENT9* psize = nullptr;
};

// The stream bytes of element e of stream vertex v.
const BYTE* ElementBytes(const SoftDrawCall& call, const SoftDeviceState& state,
                         const D3DVERTEXELEMENT9& e, long long v) {
    if (call.userVertices)
        return call.userVertices + static_cast<std::size_t>(v) * call.userStride + e.Offset;
    const SoftDeviceState::Stream& s = state.streams[e.Stream];
    return s.buffer.Get()->Memory().Data() + s.offset + static_cast<std::size_t>(v) * s.stride +
           e.Offset;
}

void Range(const SoftDrawCall& call, long long* first, UINT* count) {
    if (call.indices) {
        *first = static_cast<long long>(call.baseVertex) + call.minIndex;
        *count = call.numVertices;
    } else {
        *first = call.startVertex;
        *count = call.vertexCount;
    }
}

// Lights in index order, at most the eight the fixed function honours.
struct ActiveLight {
    D3DLIGHT9 light;
    Vec3 position;   // camera space
    Vec3 direction;  // camera space, towards the light, unit
};

}  // namespace

void SoftVertexProcessor::DecodeElement(BYTE type, BYTE usage, const BYTE* p, float out[4]) {
    out[0] = out[1] = out[2] = 0.0f;
    out[3] = 1.0f;
    if (type == D3DDECLTYPE_UBYTE4 && usage == D3DDECLUSAGE_COLOR)
        type = D3DDECLTYPE_D3DCOLOR;
    switch (type) {
        case D3DDECLTYPE_FLOAT4:
            std::memcpy(&out[3], p + 12, 4);
            [[fallthrough]];
        case D3DDECLTYPE_FLOAT3:
            std::memcpy(&out[2], p + 8, 4);
            [[fallthrough]];
        case D3DDECLTYPE_FLOAT2:
            std::memcpy(&out[1], p + 4, 4);
            [[fallthrough]];
        case D3DDECLTYPE_FLOAT1:
            std::memcpy(&out[0], p, 4);
            break;
        case D3DDECLTYPE_D3DCOLOR:  // bytes B, G, R, A
            out[0] = static_cast<float>(p[2]) / 255.0f;
            out[1] = static_cast<float>(p[1]) / 255.0f;
            out[2] = static_cast<float>(p[0]) / 255.0f;
            out[3] = static_cast<float>(p[3]) / 255.0f;
            break;
        case D3DDECLTYPE_UBYTE4:
            for (int i = 0; i < 4; ++i) out[i] = static_cast<float>(p[i]);
            break;
        case D3DDECLTYPE_UBYTE4N:
            for (int i = 0; i < 4; ++i) out[i] = static_cast<float>(p[i]) / 255.0f;
            break;
        case D3DDECLTYPE_SHORT4:
            out[2] = static_cast<float>(Short(p + 4));
            out[3] = static_cast<float>(Short(p + 6));
            [[fallthrough]];
        case D3DDECLTYPE_SHORT2:
            out[0] = static_cast<float>(Short(p));
            out[1] = static_cast<float>(Short(p + 2));
            break;
        case D3DDECLTYPE_SHORT4N:
            out[2] = std::max(-1.0f, static_cast<float>(Short(p + 4)) / 32767.0f);
            out[3] = std::max(-1.0f, static_cast<float>(Short(p + 6)) / 32767.0f);
            [[fallthrough]];
        case D3DDECLTYPE_SHORT2N:
            out[0] = std::max(-1.0f, static_cast<float>(Short(p)) / 32767.0f);
            out[1] = std::max(-1.0f, static_cast<float>(Short(p + 2)) / 32767.0f);
            break;
        case D3DDECLTYPE_USHORT4N:
            out[2] = static_cast<float>(Ushort(p + 4)) / 65535.0f;
            out[3] = static_cast<float>(Ushort(p + 6)) / 65535.0f;
            [[fallthrough]];
        case D3DDECLTYPE_USHORT2N:
            out[0] = static_cast<float>(Ushort(p)) / 65535.0f;
            out[1] = static_cast<float>(Ushort(p + 2)) / 65535.0f;
            break;
        case D3DDECLTYPE_UDEC3:
        case D3DDECLTYPE_DEC3N: {
            DWORD v = static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
                      (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
            for (int i = 0; i < 3; ++i) {
                int bits = static_cast<int>((v >> (10 * i)) & 0x3FF);
                if (type == D3DDECLTYPE_UDEC3) {
                    out[i] = static_cast<float>(bits);
                } else {
                    int s = bits >= 512 ? bits - 1024 : bits;
                    out[i] = std::max(-1.0f, static_cast<float>(s) / 511.0f);
                }
            }
            break;
        }
        case D3DDECLTYPE_FLOAT16_4:
            out[2] = Half(p + 4);
            out[3] = Half(p + 6);
            [[fallthrough]];
        case D3DDECLTYPE_FLOAT16_2:
            out[0] = Half(p);
            out[1] = Half(p + 2);
            break;
        default:
            break;
    }
}

void SoftVertexProcessor::Process(const SoftDrawCall& call, const SoftDeviceState& state,
                                  const SoftProgram* program, SoftProgramRunner* runner,
                                  const SoftTextureUnits& units, bool pixelProgram,
                                  SoftVertices* out) {
    if (program && runner)
        Programmed(call, state, *program, *runner, units, out);
    else
        FixedFunction(call, state, pixelProgram, out);
}

void SoftVertexProcessor::Programmed(const SoftDrawCall& call, const SoftDeviceState& state,
                                     const SoftProgram& program, SoftProgramRunner& runner,
                                     const SoftTextureUnits& units, SoftVertices* out) {
    Range(call, &out->first, &out->count);
    out->screenSpace = false;
    out->slots.clear();
    const std::vector<SoftSemantic>& outputs = program.Outputs();
    int positionOutput = -1;
    std::vector<int> slotOutputs;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i] == SoftSemantic{D3DDECLUSAGE_POSITION, 0} && positionOutput < 0) {
            positionOutput = static_cast<int>(i);
        } else {
            out->slots.push_back(outputs[i]);
            slotOutputs.push_back(static_cast<int>(i));
        }
    }
    out->stride = 4 + 4 * static_cast<UINT>(out->slots.size());
    out->data.assign(static_cast<std::size_t>(out->count) * out->stride, 0.0f);

    // Which element feeds each program input.
    const std::vector<SoftSemantic>& inputs = program.Inputs();
    std::vector<const D3DVERTEXELEMENT9*> feeds(inputs.size(), nullptr);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        for (const D3DVERTEXELEMENT9& e : call.layout->Elements())
            if (e.Usage == inputs[i].usage && e.UsageIndex == inputs[i].usageIndex)
                feeds[i] = &e;

    runner.BeginDraw();
    for (UINT base = 0; base < out->count; base += kSoftLanes) {
        UINT lanes = std::min<UINT>(kSoftLanes, out->count - base);
        runner.ResetInputs();
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            if (!feeds[i])
                continue;
            float* c[4];
            for (unsigned k = 0; k < 4; ++k) c[k] = runner.Input(i, k);
            for (UINT lane = 0; lane < lanes; ++lane) {
                float v[4];
                DecodeElement(feeds[i]->Type, feeds[i]->Usage,
                              ElementBytes(call, state, *feeds[i], out->first + base + lane), v);
                for (unsigned k = 0; k < 4; ++k) c[k][lane] = v[k];
            }
        }
        runner.Run(units);
        for (UINT lane = 0; lane < lanes; ++lane) {
            float* row = out->Row(base + lane);
            for (unsigned k = 0; k < 4; ++k)
                row[k] = positionOutput >= 0
                             ? runner.Output(static_cast<std::size_t>(positionOutput), k)[lane]
                             : (k == 3 ? 1.0f : 0.0f);
            for (std::size_t s = 0; s < slotOutputs.size(); ++s)
                for (unsigned k = 0; k < 4; ++k)
                    row[4 + 4 * s + k] =
                        runner.Output(static_cast<std::size_t>(slotOutputs[s]), k)[lane];
        }
    }
}

void SoftVertexProcessor::FixedFunction(const SoftDrawCall& call, const SoftDeviceState& state,
                                        bool pixelProgram, SoftVertices* out) {
    FixedElements el;
    for (const D3DVERTEXELEMENT9& e : call.layout->Elements()) {
        if (e.Usage == D3DDECLUSAGE_POSITION && e.UsageIndex == 0) {
            el.position = &e;
        } else if (e.Usage == D3DDECLUSAGE_POSITIONT && e.UsageIndex == 0) {
            el.position = &e;
            el.pretransformed = true;
        } else if (e.Usage == D3DDECLUSAGE_NORMAL && e.UsageIndex == 0) {
            el.normal = &e;
        } else if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex < 2) {
            el.color[e.UsageIndex] = &e;
        } else if (e.Usage == D3DDECLUSAGE_TEXCOORD && e.UsageIndex < 8) {
            el.tex[e.UsageIndex] = &e;
        } else if (e.Usage == D3DDECLUSAGE_PSIZE && e.UsageIndex == 0) {
            el.psize = &e;
        }
    }
    const auto& rs = state.renderStates;

    // Slots: diffuse, specular, then what fog, the texture stages and points need.
    out->slots.assign({{D3DDECLUSAGE_COLOR, 0}, {D3DDECLUSAGE_COLOR, 1}});
    bool vertexFog = rs[D3DRS_FOGENABLE] && rs[D3DRS_FOGTABLEMODE] == D3DFOG_NONE;
    int fogSlot = -1;
    if (vertexFog) {
        fogSlot = static_cast<int>(out->slots.size());
        out->slots.push_back({D3DDECLUSAGE_FOG, 0});
    }
    int stageSlot[kStages];
    std::fill(stageSlot, stageSlot + kStages, -1);
    for (UINT s = 0; s < kStages; ++s) {
        if (pixelProgram) {
            DWORD tci = state.stageStates[s][D3DTSS_TEXCOORDINDEX];
            bool generated = (tci & 0xFFFF0000u) != 0;
            if (!generated && ((tci & 0xFFFF) >= 8 || !el.tex[tci & 0xFFFF]))
                continue;
        } else if (state.stageStates[s][D3DTSS_COLOROP] == D3DTOP_DISABLE) {
            break;
        } else if (!state.textures[s]) {
            continue;
        }
        stageSlot[s] = static_cast<int>(out->slots.size());
        out->slots.push_back({D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(s)});
    }
    int psizeSlot = -1;
    if (el.psize) {
        psizeSlot = static_cast<int>(out->slots.size());
        out->slots.push_back({D3DDECLUSAGE_PSIZE, 0});
    }

    Range(call, &out->first, &out->count);
    out->screenSpace = el.pretransformed;
    out->stride = 4 + 4 * static_cast<UINT>(out->slots.size());
    out->data.assign(static_cast<std::size_t>(out->count) * out->stride, 0.0f);

    const D3DMATRIX& world = state.transforms[D3DTS_WORLD];
    const D3DMATRIX& view = state.transforms[D3DTS_VIEW];
    const D3DMATRIX worldView = Multiply(world, view);
    const D3DMATRIX worldViewProjection = Multiply(worldView, state.transforms[D3DTS_PROJECTION]);
    const D3DMATRIX normalMatrix = NormalMatrix(worldView);
    bool lighting = rs[D3DRS_LIGHTING] && !el.pretransformed;
    bool specularOn = rs[D3DRS_SPECULARENABLE] != 0;
    bool normalize = rs[D3DRS_NORMALIZENORMALS] != 0;
    bool localViewer = rs[D3DRS_LOCALVIEWER] != 0;
    bool colorVertex = rs[D3DRS_COLORVERTEX] != 0;
    const D3DMATERIAL9& material = state.material;
    PixelCodec::Rgba ambient = PixelCodec::FromColor(rs[D3DRS_AMBIENT]);

    std::vector<ActiveLight> lights;
    if (lighting) {
        for (const auto& [index, entry] : state.lights) {
            if (!entry.enabled || lights.size() == 8)
                continue;
            ActiveLight a{entry.light, {}, {}};
            const D3DVECTOR& p = entry.light.Position;
            const D3DVECTOR& d = entry.light.Direction;
            a.position = TransformPoint({p.x, p.y, p.z}, view);
            a.direction = Normalize(TransformDirection({-d.x, -d.y, -d.z}, view));
            lights.push_back(a);
        }
    }
    float fogStart = FloatState(state, D3DRS_FOGSTART), fogEnd = FloatState(state, D3DRS_FOGEND);
    float fogDensity = FloatState(state, D3DRS_FOGDENSITY);

    for (UINT row = 0; row < out->count; ++row) {
        long long v = out->first + row;
        float* o = out->Row(row);
        float position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        if (el.position)
            DecodeElement(el.position->Type, el.position->Usage,
                          ElementBytes(call, state, *el.position, v), position);
        float color[2][4] = {{1.0f, 1.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 0.0f, 0.0f}};
        bool hasColor[2] = {false, false};
        for (int c = 0; c < 2; ++c) {
            if (el.color[c]) {
                DecodeElement(el.color[c]->Type, el.color[c]->Usage,
                              ElementBytes(call, state, *el.color[c], v), color[c]);
                hasColor[c] = true;
            }
        }
        float normalIn[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        if (el.normal)
            DecodeElement(el.normal->Type, el.normal->Usage,
                          ElementBytes(call, state, *el.normal, v), normalIn);

        Vec3 eye{0.0f, 0.0f, 0.0f};
        Vec3 normal{0.0f, 0.0f, 0.0f};
        if (el.pretransformed) {
            std::memcpy(o, position, sizeof(position));
        } else {
            float objectPosition[4] = {position[0], position[1], position[2], 1.0f};
            if (el.position && el.position->Type == D3DDECLTYPE_FLOAT4)
                objectPosition[3] = position[3];
            Transform(objectPosition, worldViewProjection, o);
            float e[4];
            Transform(objectPosition, worldView, e);
            eye = {e[0], e[1], e[2]};
            normal = TransformDirection({normalIn[0], normalIn[1], normalIn[2]}, normalMatrix);
            if (normalize)
                normal = Normalize(normal);
        }

        float* diffuseOut = o + 4;
        float* specularOut = o + 8;
        if (lighting) {
            auto source = [&](DWORD state, const D3DCOLORVALUE& fallback) {
                if (colorVertex && state == D3DMCS_COLOR1 && hasColor[0])
                    return D3DCOLORVALUE{color[0][0], color[0][1], color[0][2], color[0][3]};
                if (colorVertex && state == D3DMCS_COLOR2 && hasColor[1])
                    return D3DCOLORVALUE{color[1][0], color[1][1], color[1][2], color[1][3]};
                return fallback;
            };
            D3DCOLORVALUE md = source(rs[D3DRS_DIFFUSEMATERIALSOURCE], material.Diffuse);
            D3DCOLORVALUE ma = source(rs[D3DRS_AMBIENTMATERIALSOURCE], material.Ambient);
            D3DCOLORVALUE ms = source(rs[D3DRS_SPECULARMATERIALSOURCE], material.Specular);
            D3DCOLORVALUE me = source(rs[D3DRS_EMISSIVEMATERIALSOURCE], material.Emissive);
            Vec3 amb{ambient.r, ambient.g, ambient.b}, dif{0, 0, 0}, spe{0, 0, 0};
            Vec3 toViewer = localViewer ? Normalize(eye * -1.0f) : Vec3{0.0f, 0.0f, -1.0f};
            for (const ActiveLight& a : lights) {
                Vec3 toLight = a.direction;
                float attenuation = 1.0f;
                if (a.light.Type != D3DLIGHT_DIRECTIONAL) {
                    Vec3 d = a.position - eye;
                    float distance = Length(d);
                    if (distance > a.light.Range)
                        continue;
                    toLight = Normalize(d);
                    float k = a.light.Attenuation0 + a.light.Attenuation1 * distance +
                              a.light.Attenuation2 * distance * distance;
                    attenuation = k > 0.0f ? 1.0f / k : 1.0f;
                }
                amb = amb +
                      Vec3{a.light.Ambient.r, a.light.Ambient.g, a.light.Ambient.b} * attenuation;
                float nl = Dot(normal, toLight);
                if (nl <= 0.0f)
                    continue;
                dif = dif + Vec3{a.light.Diffuse.r, a.light.Diffuse.g, a.light.Diffuse.b} *
                                (nl * attenuation);
                if (specularOn) {
                    float nh = Dot(normal, Normalize(toLight + toViewer));
                    if (nh > 0.0f) {
                        float power = material.Power > 0.0f ? std::pow(nh, material.Power) : 1.0f;
                        spe =
                            spe + Vec3{a.light.Specular.r, a.light.Specular.g, a.light.Specular.b} *
                                      (power * attenuation);
                    }
                }
            }
            diffuseOut[0] = Clamp01(me.r + amb.x * ma.r + dif.x * md.r);
            diffuseOut[1] = Clamp01(me.g + amb.y * ma.g + dif.y * md.g);
            diffuseOut[2] = Clamp01(me.b + amb.z * ma.b + dif.z * md.b);
            diffuseOut[3] = Clamp01(md.a);
            specularOut[0] = Clamp01(spe.x * ms.r);
            specularOut[1] = Clamp01(spe.y * ms.g);
            specularOut[2] = Clamp01(spe.z * ms.b);
            specularOut[3] = Clamp01(ms.a);
        } else {
            std::memcpy(diffuseOut, color[0], sizeof(color[0]));
            std::memcpy(specularOut, color[1], sizeof(color[1]));
        }

        if (fogSlot >= 0) {
            float f;
            if (rs[D3DRS_FOGVERTEXMODE] == D3DFOG_NONE || el.pretransformed) {
                f = specularOut[3];
            } else {
                float d = rs[D3DRS_RANGEFOGENABLE] ? Length(eye) : std::fabs(eye.z);
                f = SoftShading::Fog(rs[D3DRS_FOGVERTEXMODE], d, fogStart, fogEnd, fogDensity);
            }
            o[4 + 4 * fogSlot] = f;
        }

        for (UINT s = 0; s < kStages; ++s) {
            if (stageSlot[s] < 0)
                continue;
            DWORD tci = state.stageStates[s][D3DTSS_TEXCOORDINDEX];
            float t[4] = {0.0f, 0.0f, 0.0f, 0.0f};
            Vec3 generated{0.0f, 0.0f, 0.0f};
            bool generate = true;
            switch (tci & 0xFFFF0000u) {
                case D3DTSS_TCI_CAMERASPACENORMAL:
                    generated = normal;
                    break;
                case D3DTSS_TCI_CAMERASPACEPOSITION:
                    generated = eye;
                    break;
                case D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR: {
                    Vec3 e = localViewer ? Normalize(eye * -1.0f) : Vec3{0.0f, 0.0f, -1.0f};
                    Vec3 n = Normalize(normal);
                    generated = n * (2.0f * Dot(e, n)) - e;
                    break;
                }
                default:
                    generate = false;
                    break;
            }
            if (generate) {
                t[0] = generated.x;
                t[1] = generated.y;
                t[2] = generated.z;
                t[3] = 1.0f;
            } else {
                UINT set = tci & 0xFFFF;
                if (set < 8 && el.tex[set]) {
                    float raw[4];
                    DecodeElement(el.tex[set]->Type, el.tex[set]->Usage,
                                  ElementBytes(call, state, *el.tex[set], v), raw);
                    // The component after the last one present reads 1, so that a 2D transform
                    // keeps its translation in the third row.
                    UINT n = VertexLayout::TypeSize(el.tex[set]->Type) / 4;
                    if (el.tex[set]->Type == D3DDECLTYPE_FLOAT16_2 ||
                        el.tex[set]->Type == D3DDECLTYPE_SHORT2 ||
                        el.tex[set]->Type == D3DDECLTYPE_SHORT2N ||
                        el.tex[set]->Type == D3DDECLTYPE_USHORT2N)
                        n = 2;
                    for (UINT k = 0; k < 4; ++k) t[k] = k < n ? raw[k] : (k == n ? 1.0f : 0.0f);
                }
            }
            DWORD flags = state.stageStates[s][D3DTSS_TEXTURETRANSFORMFLAGS];
            UINT count = flags & 0xFF;
            float* dst = o + 4 + 4 * stageSlot[s];
            if (count >= 1 && count <= 4) {
                float r[4];
                Transform(t, state.transforms[D3DTS_TEXTURE0 + s], r);
                for (UINT k = 0; k < 4; ++k) dst[k] = k < count ? r[k] : 0.0f;
            } else {
                std::memcpy(dst, t, sizeof(t));
            }
        }
        if (psizeSlot >= 0) {
            float size[4];
            DecodeElement(el.psize->Type, el.psize->Usage, ElementBytes(call, state, *el.psize, v),
                          size);
            o[4 + 4 * psizeSlot] = size[0];
        }
    }
}
