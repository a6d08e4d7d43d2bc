#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "HlslTestEffects.h"
#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/EffectSerializer.h"
#include "Platform/D3DX9/Hlsl/Program.h"
#include "Platform/D3DX9/Hlsl/ProgramContext.h"
#include "fixtures/ByteWriter.h"

namespace {

using namespace Hlsl;

void ExpectSameParameter(const Parameter& a, const Parameter& b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.semantic, b.semantic);
    EXPECT_EQ(a.cls, b.cls);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.rows, b.rows);
    EXPECT_EQ(a.columns, b.columns);
    EXPECT_EQ(a.elements, b.elements);
    EXPECT_EQ(a.offset, b.offset);
    EXPECT_EQ(a.words, b.words);
    EXPECT_EQ(a.samplerStates.size(), b.samplerStates.size());
    EXPECT_EQ(a.annotations.size(), b.annotations.size());
    ASSERT_EQ(a.members.size(), b.members.size());
    for (std::size_t i = 0; i < a.members.size(); ++i)
        ExpectSameParameter(a.members[i], b.members[i]);
}

// Runs the same program of two effects on the same inputs: the outputs must agree bit for bit.
void ExpectSameResults(const Program& a, const Program& b,
                       const std::vector<std::uint32_t>& values) {
    ProgramContext ca(a), cb(b);
    ca.BindConstants(values.data(), values.size());
    cb.BindConstants(values.data(), values.size());
    ASSERT_EQ(a.inputs.size(), b.inputs.size());
    for (std::size_t i = 0; i < a.inputs.size(); ++i)
        for (unsigned c = 0; c < 4; ++c)
            for (unsigned l = 0; l < kLanes; ++l) {
                float v = 0.1f * static_cast<float>(i + 1) + 0.01f * static_cast<float>(c) +
                          0.001f * static_cast<float>(l);
                ca.Input(i, c)[l] = v;
                cb.Input(i, c)[l] = v;
            }
    ca.Run();
    cb.Run();
    ASSERT_EQ(a.outputs.size(), b.outputs.size());
    for (std::size_t o = 0; o < a.outputs.size(); ++o)
        for (unsigned c = 0; c < a.outputs[o].components; ++c)
            for (unsigned l = 0; l < kLanes; ++l)
                EXPECT_EQ(std::bit_cast<std::uint32_t>(ca.Output(o, c)[l]),
                          std::bit_cast<std::uint32_t>(cb.Output(o, c)[l]));
}

class HlslSerializerTest : public ::testing::Test {
protected:
    void SetUp() override {
        out_ = HlslTest::CompileText(HlslTest::GeneratedEffect());
        ASSERT_NE(out_.effect, nullptr) << out_.messages;
        for (const IncludedFile& f : out_.includes) includeNames_.push_back(f.name);
        bytes_ = EffectSerializer::Save(*out_.effect, out_.sourceHash, includeNames_);
    }
    CompileOutput out_;
    std::vector<std::string> includeNames_;
    std::vector<std::uint8_t> bytes_;
};

TEST_F(HlslSerializerTest, RoundTripKeepsEverything) {
    CompiledEffectHeader header;
    std::string error;
    auto loaded = EffectSerializer::Load(bytes_.data(), bytes_.size(), header, error);
    ASSERT_NE(loaded, nullptr) << error;
    EXPECT_EQ(header.version, EffectSerializer::kVersion);
    EXPECT_EQ(header.sourceHash, out_.sourceHash);
    EXPECT_EQ(header.includes, includeNames_);
    const EffectDescription& a = *out_.effect;
    const EffectDescription& b = *loaded;
    EXPECT_EQ(a.values, b.values);
    ASSERT_EQ(a.parameters.size(), b.parameters.size());
    for (std::size_t i = 0; i < a.parameters.size(); ++i)
        ExpectSameParameter(a.parameters[i], b.parameters[i]);
    ASSERT_EQ(a.techniques.size(), b.techniques.size());
    for (std::size_t t = 0; t < a.techniques.size(); ++t) {
        EXPECT_EQ(a.techniques[t].name, b.techniques[t].name);
        ASSERT_EQ(a.techniques[t].passes.size(), b.techniques[t].passes.size());
        for (std::size_t p = 0; p < a.techniques[t].passes.size(); ++p) {
            const auto& sa = a.techniques[t].passes[p].states;
            const auto& sb = b.techniques[t].passes[p].states;
            ASSERT_EQ(sa.size(), sb.size());
            for (std::size_t s = 0; s < sa.size(); ++s) {
                EXPECT_EQ(sa[s].kind, sb[s].kind);
                EXPECT_EQ(sa[s].code, sb[s].code);
                EXPECT_EQ(sa[s].index, sb[s].index);
                EXPECT_EQ(sa[s].value.words, sb[s].value.words);
                EXPECT_EQ(sa[s].value.reference, sb[s].value.reference);
                EXPECT_EQ(sa[s].value.program, sb[s].value.program);
            }
        }
    }
    ASSERT_EQ(a.programs.size(), b.programs.size());
    std::vector<std::uint32_t> values = a.values;
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = std::bit_cast<std::uint32_t>(0.5f + 0.25f * static_cast<float>(i % 7));
    for (std::size_t i = 0; i < a.programs.size(); ++i) {
        EXPECT_EQ(a.programs[i]->entry, b.programs[i]->entry);
        EXPECT_EQ(a.programs[i]->code.size(), b.programs[i]->code.size());
        ExpectSameResults(*a.programs[i], *b.programs[i], values);
    }
    // Saving what was loaded gives the same bytes.
    EXPECT_EQ(EffectSerializer::Save(b, header.sourceHash, header.includes), bytes_);
}

TEST_F(HlslSerializerTest, HeaderAloneTellsStaleness) {
    CompiledEffectHeader header;
    std::string error;
    ASSERT_TRUE(EffectSerializer::ReadHeader(bytes_.data(), bytes_.size(), header, error));
    EXPECT_EQ(header.sourceHash, out_.sourceHash);
    // The header as the format table gives it, written by hand.
    ZelFixtures::ByteWriter w;
    w.U32(0x4F58465A).U32(1).U32(0x89ABCDEFu).U32(0x01234567u).U32(1).U32(3).Text("a.h");
    ASSERT_TRUE(EffectSerializer::ReadHeader(w.Data().data(), w.Size(), header, error)) << error;
    EXPECT_EQ(header.sourceHash, 0x0123456789ABCDEFull);
    EXPECT_EQ(header.includes, std::vector<std::string>{"a.h"});
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes_.data()), 4), "ZFXO");
}

TEST_F(HlslSerializerTest, RefusesWrongMagicVersionAndDamage) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* error;
    };
    std::vector<std::uint8_t> magic = bytes_, version = bytes_, truncated = bytes_,
                              trailing = bytes_;
    magic[0] = 'X';
    version[4] = 2;
    truncated.erase(truncated.end() - 3, truncated.end());
    trailing.push_back(0);
    const Case cases[] = {
        {"magic", magic, "wrong magic"},
        {"version", version, "another version"},
        {"empty", {}, "wrong magic"},
        {"header only", std::vector<std::uint8_t>(bytes_.begin(), bytes_.begin() + 10),
         "header is truncated"},
        {"truncated", truncated, "truncated or damaged"},
        {"trailing", trailing, "trailing bytes"},
    };
    for (const Case& c : cases) {
        CompiledEffectHeader header;
        std::string error;
        EXPECT_EQ(EffectSerializer::Load(c.bytes.data(), c.bytes.size(), header, error), nullptr)
            << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    }
    CompiledEffectHeader header;
    std::string error;
    EXPECT_FALSE(EffectSerializer::ReadHeader(magic.data(), magic.size(), header, error));
}

// A numeric parameter whose rows and columns do not fit the words it owns would have the
// effect's matrix and vector setters write past it.
TEST_F(HlslSerializerTest, RefusesParameterShapesLargerThanTheirWords) {
    CompileOutput out = HlslTest::CompileText(
        "float4x4 g_M;\nfloat4 g_V;\nfloat g_S[3];\n"
        "float4 PS() : COLOR { return mul(g_V, g_M) + g_S[1]; }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(out.effect, nullptr) << out.messages;
    struct Case {
        const char* name;
        std::size_t parameter;
        std::uint32_t rows, columns;
        bool loads;
    };
    const Case cases[] = {
        {"as compiled: matrix", 0, 4, 4, true},
        {"as compiled: vector", 1, 1, 4, true},
        {"as compiled: array of scalars", 2, 1, 1, true},
        {"vector read as a matrix", 1, 4, 4, false},
        {"scalar element read as a vector", 2, 1, 2, false},
        {"five columns", 0, 2, 5, false},
        {"no rows", 0, 0, 4, false},
    };
    for (const Case& c : cases) {
        EffectDescription changed = *out.effect;
        ASSERT_LT(c.parameter, changed.parameters.size());
        changed.parameters[c.parameter].rows = c.rows;
        changed.parameters[c.parameter].columns = c.columns;
        const std::vector<std::uint8_t> bytes = EffectSerializer::Save(changed, 1, {});
        CompiledEffectHeader header;
        std::string error;
        auto loaded = EffectSerializer::Load(bytes.data(), bytes.size(), header, error);
        EXPECT_EQ(loaded != nullptr, c.loads) << c.name << ": " << error;
        if (!c.loads) {
            EXPECT_NE(error.find("refers outside itself"), std::string::npos) << c.name;
        }
    }
}

TEST_F(HlslSerializerTest, EveryDamagedByteIsRefusedOrSafe) {
    // Flip every byte of a small effect in turn: each load either refuses or gives an effect
    // whose programs validate; nothing reads out of bounds (the sanitizers watch).
    CompileOutput small = HlslTest::CompileText(HlslTest::StaticShadowCastEffect());
    ASSERT_NE(small.effect, nullptr);
    std::vector<std::uint8_t> bytes = EffectSerializer::Save(*small.effect, 1, {});
    int refused = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::vector<std::uint8_t> damaged = bytes;
        damaged[i] ^= 0xA5;
        CompiledEffectHeader header;
        std::string error;
        auto fx = EffectSerializer::Load(damaged.data(), damaged.size(), header, error);
        if (fx == nullptr) {
            ++refused;
            continue;
        }
        for (const auto& p : fx->programs) {
            ASSERT_TRUE(p->Validate(static_cast<std::uint32_t>(fx->values.size()),
                                    static_cast<std::uint32_t>(fx->parameters.size())));
            ProgramContext context(*p);
            context.BindConstants(fx->values.data(), fx->values.size());
            context.Run();
        }
    }
    EXPECT_GT(refused, 0);
}

}  // namespace
