#include "modelgen/CompressedActionFile.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string>

#include "modelgen/BitWriter.h"
#include "modelgen/RecordWriter.h"

namespace ZelModelGen {
namespace {

constexpr double kStep = 1.0 / 32768.0;
constexpr unsigned kSymbols = 9;

std::int64_t Quantise(double v) {
    const std::int64_t q = std::llround(v * 32768.0) + 32768;
    return std::clamp<std::int64_t>(q, 0, 65535);
}

float Dequantise(std::int64_t q) {
    return static_cast<float>((static_cast<double>(q) - 32768.0) * kStep);
}

float UnitW(float x, float y, float z) {
    return std::sqrt(std::max(0.0f, 1.0f - (x * x + y * y + z * z)));
}

// One coded residual: its class, sign and magnitude bits.
struct Coded {
    std::uint32_t symbol;
    bool negative;
    std::uint32_t magnitude;
};

// The coded frames 1 to N-1 of one track: per frame the w sign, per component the residuals.
struct TrackFrames {
    unsigned components = 0;
    bool rotates = false;
    std::vector<bool> wNegative;
    std::vector<std::vector<Coded>> residuals;  // [component][frame - 1]
};

std::uint32_t SymbolFor(std::uint32_t magnitude) {
    // Class c carries 2 (8 - c) magnitude bits; class 8 none.
    for (std::uint32_t c = 8;; --c) {
        const unsigned bits = 2 * (8 - c);
        if (bits == 32 || magnitude < (1u << bits))
            return c;
    }
}

TrackFrames CodeFrames(const CompressedTrackDesc& t, std::uint32_t frames) {
    TrackFrames out;
    const bool moves = !t.positions.empty();
    out.rotates = !t.rotations.empty();
    out.components = (moves ? 3 : 0) + (out.rotates ? 4 : 0);
    if (frames < 2 || out.components == 0)
        return out;
    // The quantised value of every component in every frame, as the reader will rebuild them.
    std::vector<std::vector<std::int64_t>> values(out.components);
    float running[3] = {};
    if (moves)
        running[0] = t.positions[0].x, running[1] = t.positions[0].y, running[2] = t.positions[0].z;
    for (std::uint32_t k = 1; k < frames; ++k) {
        unsigned c = 0;
        if (moves) {
            const float target[3] = {t.positions[k].x, t.positions[k].y, t.positions[k].z};
            for (int i = 0; i < 3; ++i, ++c) {
                const std::int64_t q = Quantise(static_cast<double>(target[i]) - running[i]);
                running[i] += Dequantise(q);
                values[c].push_back(q);
            }
        }
        if (out.rotates) {
            const Vec4& r = t.rotations[k];
            const std::int64_t qx = Quantise(r.x), qy = Quantise(r.y), qz = Quantise(r.z);
            const float w = UnitW(Dequantise(qx), Dequantise(qy), Dequantise(qz));
            values[c++].push_back(qx);
            values[c++].push_back(qy);
            values[c++].push_back(qz);
            values[c++].push_back(Quantise(static_cast<double>(std::fabs(r.w)) - w));
            out.wNegative.push_back(r.w < 0);
        }
    }
    out.residuals.resize(out.components);
    for (unsigned c = 0; c < out.components; ++c) {
        std::int64_t previous = 0, previousResidual = 0;
        for (std::int64_t value : values[c]) {
            const std::int64_t residual = value - previous;
            const std::int64_t size = residual < 0 ? -residual : residual;
            const auto magnitude = static_cast<std::uint32_t>(size ^ previousResidual);
            out.residuals[c].push_back({SymbolFor(magnitude), residual < 0, magnitude});
            if (size < 8192)
                previousResidual = size;
            previous = value;
        }
    }
    return out;
}

struct ClassCode {
    std::array<std::uint8_t, kSymbols> lengths{};
    std::array<std::uint32_t, kSymbols> codes{};
};

// The canonical code of the lengths: per length the symbols in increasing order, codes counted
// up from the length's limit.
ClassCode Canonical(const std::array<std::uint8_t, kSymbols>& lengths) {
    ClassCode code;
    code.lengths = lengths;
    std::uint32_t count[12] = {}, limit[12] = {};
    for (std::uint8_t l : lengths) ++count[l];
    for (int l = 9; l >= 1; --l) limit[l] = (count[l + 1] + limit[l + 1] + 1) / 2;
    std::uint32_t rank[12] = {};
    for (unsigned s = 0; s < kSymbols; ++s) {
        if (lengths[s])
            code.codes[s] = limit[lengths[s]] + rank[lengths[s]]++;
    }
    return code;
}

// Huffman code lengths of the symbol counts (unused symbols 0; a lone symbol gets length 1).
std::array<std::uint8_t, kSymbols> HuffmanLengths(const std::array<std::uint64_t, kSymbols>& n) {
    struct Node {
        std::uint64_t weight;
        std::vector<unsigned> symbols;
    };
    std::vector<Node> nodes;
    for (unsigned s = 0; s < kSymbols; ++s) {
        if (n[s])
            nodes.push_back({n[s], {s}});
    }
    std::array<std::uint8_t, kSymbols> lengths{};
    if (nodes.size() == 1)
        lengths[nodes[0].symbols[0]] = 1;
    while (nodes.size() > 1) {
        std::sort(nodes.begin(), nodes.end(),
                  [](const Node& a, const Node& b) { return a.weight > b.weight; });
        Node a = nodes.back();
        nodes.pop_back();
        Node b = nodes.back();
        nodes.pop_back();
        for (unsigned s : a.symbols) ++lengths[s];
        for (unsigned s : b.symbols) ++lengths[s];
        a.symbols.insert(a.symbols.end(), b.symbols.begin(), b.symbols.end());
        nodes.push_back({a.weight + b.weight, a.symbols});
    }
    return lengths;
}

// Emits the coded frames (or only counts the class symbols when out is null).
void EmitFrames(const TrackFrames& t, BitWriter* out, const ClassCode* code,
                std::array<std::uint64_t, kSymbols>& counts) {
    if (t.residuals.empty())
        return;
    const std::size_t frames = t.residuals[0].size();
    std::vector<std::uint32_t> run(t.components, 0);
    for (std::size_t k = 0; k < frames; ++k) {
        if (t.rotates && out)
            out->Bit(t.wNegative[k]);
        for (unsigned c = 0; c < t.components; ++c) {
            const Coded& r = t.residuals[c][k];
            if (run[c] == 0) {
                std::uint32_t same = 1;
                while (same < 9 && k + same < frames && t.residuals[c][k + same].symbol == r.symbol)
                    ++same;
                if (out) {
                    if (same >= 2)
                        out->Bit(true).Bits(same - 2, 3);
                    else
                        out->Bit(false);
                    out->Bits(code->codes[r.symbol], code->lengths[r.symbol]);
                }
                run[c] = same >= 2 ? same : 1;
                ++counts[r.symbol];
            }
            --run[c];
            if (out)
                out->Bit(r.negative).Bits(r.magnitude, 2 * (8 - r.symbol));
        }
    }
}

void Component(BitWriter& bits, float value, bool quantised) {
    bits.Bit(quantised);
    if (quantised)
        bits.Bits(static_cast<std::uint32_t>(Quantise(value)), 16);
    else
        bits.Float(value);
}

}  // namespace

WrittenFile WriteCompressedActionFile(const CompressedActionDesc& action, const FaultPlan& faults) {
    const std::uint32_t frames = action.frameCount;
    std::vector<TrackFrames> coded;
    std::array<std::uint64_t, kSymbols> counts{};
    for (const CompressedTrackDesc& t : action.tracks) {
        if ((!t.positions.empty() && t.positions.size() != frames) ||
            (!t.rotations.empty() && t.rotations.size() != frames))
            throw std::invalid_argument("a compressed track's frames differ from the file's");
        coded.push_back(CodeFrames(t, frames));
        EmitFrames(coded.back(), nullptr, nullptr, counts);
    }
    const ClassCode code =
        Canonical(action.codeLengths ? *action.codeLengths : HuffmanLengths(counts));

    RecordWriter w(faults);
    w.Enter("ac6");
    w.Mark(SectionKind::Block, "ac6#header");
    BitWriter bits(w.Out());
    bits.Float(action.length);
    bits.Bits(static_cast<std::uint32_t>(action.tracks.size()), 9);
    for (const CompressedTrackDesc& t : action.tracks) bits.Bits(t.boneIndex, 9);
    bool countWritten = false;
    for (const CompressedTrackDesc& t : action.tracks) {
        const bool moves = !t.positions.empty();
        const bool turns = !t.rotations.empty();
        bits.Bit(t.Animated());
        if (t.Animated()) {
            if (!countWritten)
                bits.Bits(frames, 16);
            countWritten = true;
            if (frames != 0)
                bits.Bit(moves).Bit(turns);
        }
        bits.Float(t.frameInterval);
        if (moves) {
            bits.Bit(t.positionBitWhenAnimated);
        } else {
            bits.Bit(t.constantPosition.has_value());
            if (t.constantPosition) {
                for (float v :
                     {t.constantPosition->x, t.constantPosition->y, t.constantPosition->z})
                    Component(bits, v, t.quantiseConstants);
            }
        }
        if (!turns) {
            const Vec4& r = t.constantRotation;
            for (float v : {r.x, r.y, r.z, r.w}) Component(bits, v, t.quantiseConstants);
        }
    }
    for (std::uint8_t l : code.lengths) bits.Bits(l, 4);
    bits.Align();

    std::vector<std::uint64_t> offsets;
    for (std::size_t i = 0; i < action.tracks.size(); ++i) {
        const CompressedTrackDesc& t = action.tracks[i];
        w.Mark(SectionKind::Data, "ac6/track" + std::to_string(i));
        offsets.push_back(w.Size());
        if (t.Animated() && frames != 0) {
            const bool turns = !t.rotations.empty();
            if (turns)
                bits.Bit(t.rotations[0].w < 0);
            if (!t.positions.empty()) {
                for (float v : {t.positions[0].x, t.positions[0].y, t.positions[0].z})
                    bits.Float(v);
            }
            if (turns) {
                const Vec4& r = t.rotations[0];
                bits.Float(r.x).Float(r.y).Float(r.z);
                bits.Float(std::fabs(r.w) - UnitW(r.x, r.y, r.z));
            }
            std::array<std::uint64_t, kSymbols> unused{};
            EmitFrames(coded[i], &bits, &code, unused);
        }
        bits.Align();
    }
    std::vector<std::uint64_t> entries;
    for (std::size_t i = 0; i < offsets.size(); ++i)
        entries.push_back(i == 0 ? offsets[0] : offsets[i] - offsets[i - 1]);
    const bool wide = action.wideOffsets || std::any_of(entries.begin(), entries.end(),
                                                        [](std::uint64_t e) { return e > 0xFFFF; });
    w.Mark(SectionKind::Data, "ac6#offsets");
    for (std::uint64_t e : entries) {
        if (wide)
            bits.Bits(static_cast<std::uint32_t>(e >> 8), 24).Bits(e & 0xFF, 8);
        else
            bits.Bits(static_cast<std::uint32_t>(e), 16);
    }
    w.Mark(SectionKind::Data, "ac6#width");
    w.Out().U8(wide ? 0 : 1);
    w.Leave();
    return w.Finish();
}

CompressedActionDesc SyntheticCompressedAction(std::uint32_t tracks, std::uint32_t frames,
                                               std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    CompressedActionDesc a;
    a.frameCount = frames;
    const float interval = 1.0f / 30.0f;
    a.length = static_cast<float>(frames) * interval;
    for (std::uint32_t i = 0; i < tracks; ++i) {
        CompressedTrackDesc t;
        t.boneIndex = i;
        t.frameInterval = interval;
        const float axis[3] = {u(rng), u(rng), u(rng)};
        const float length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        const float speed = 0.5f + 2.0f * std::fabs(u(rng));
        const float phase = 3.0f * u(rng);
        if (i % 5 == 4) {
            t.constantPosition = Vec3{u(rng), u(rng), u(rng)};
            const float h = 0.5f * phase;
            t.constantRotation = {std::sin(h) * axis[0] / length, std::sin(h) * axis[1] / length,
                                  std::sin(h) * axis[2] / length, std::cos(h)};
            a.tracks.push_back(t);
            continue;
        }
        for (std::uint32_t k = 0; k < frames; ++k) {
            const float time = static_cast<float>(k) * interval;
            const float h = 0.5f * (phase + std::sin(speed * time) * 2.5f);
            // Some rotations cross to negative w.
            t.rotations.push_back({std::sin(h) * axis[0] / length, std::sin(h) * axis[1] / length,
                                   std::sin(h) * axis[2] / length, std::cos(h)});
            if (i == 0)
                t.positions.push_back(
                    {0.3f * std::sin(time), 2.0f * time, 1.0f + 0.05f * std::cos(3 * time)});
        }
        if (i != 0)
            t.constantPosition = Vec3{0.1f * static_cast<float>(i), 0.0f, 0.0f};
        a.tracks.push_back(t);
    }
    return a;
}

}  // namespace ZelModelGen
