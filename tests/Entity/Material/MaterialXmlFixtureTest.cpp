// The XML material fixture writer against library texts typed by hand from the grammar.
#include <gtest/gtest.h>

#include <string>

#include "fixtures/MaterialXmlFixtures.h"

namespace {

using namespace ZelFixtures;

TEST(MaterialXmlFixture, LegacyLibraryText) {
    const float wave[5] = {1, 0.5f, 0, 2, 0.25f};
    LegacyStage stage;
    stage.envMode = "TEXENV_MODULATE";
    stage.textures = {LegacyTexture{"a&b.dds", TextureParamLine(0, 3, 8), {}}};
    stage.tcMods = {{TcModLine(1, 2, wave), std::nullopt}};
    LegacyPass pass;
    pass.attributes = {{"BLEND", BlendLine(1, "SrcAlpha", "InvSrcAlpha")},
                       {"ALPHA", AlphaLine(1, "GREATER", 0.5f)}};
    pass.hasVp = true;
    pass.stages = {stage};
    LegacyShader shader;
    shader.name = "rock";
    shader.shaderType = "light";
    shader.passes = {pass};
    EXPECT_EQ(WriteLegacyLibrary({{shader}, true}),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<SHADERLIB>\n"
              "  <ARB15_PIPELINE>\n"
              "    <SHADER NAME=\"rock\">\n"
              "      <HWSHADER HWSHADER_TYPE=\"light\"/>\n"
              "      <PASS BLEND=\"1 SrcAlpha InvSrcAlpha\" ALPHA=\"1 GREATER 0.5\">\n"
              "        <VP/>\n"
              "        <STAGE TEXENV_MODE=\"TEXENV_MODULATE\" TEXTURE_TYPE=\"TEXTURE_2D\">\n"
              "          <TEXTURE DIRECTORY=\"a&amp;b.dds\" TEXTUREPARAM=\"0 3 8\"/>\n"
              "          <TCMOD TCMODX=\"1 2 1 0.5 0 2 0.25\"/>\n"
              "        </STAGE>\n"
              "      </PASS>\n"
              "    </SHADER>\n"
              "  </ARB15_PIPELINE>\n"
              "</SHADERLIB>\n");
    const float start[3] = {0, 0.5f, 1}, end[3] = {1, 1, 1};
    EXPECT_EQ(AlphaGenLine(0, 1, 2, wave, 0.5f, 1),
              "0 1 2 1 0.5 0 2 0.25 StartAlpha(0.5)-EndAlpha(1)");
    EXPECT_EQ(RgbGenLine(0, 1, 3, wave, start, end),
              "0 1 3 1 0.5 0 2 0.25 StartColor(0 0.5 1)-EndColor(1 1 1)");
}

TEST(MaterialXmlFixture, MaterialLibraryText) {
    MaterialPass pass;
    pass.renderState = {XmlElementSpec{"Blend", {{"Use", "1"}}, {}}};
    TextureEntry cube{"c", "CubeMap", {}, {}, {{"PX", "px.dds"}, {"NX", std::nullopt}}, {}};
    pass.textures = {cube};
    LibMaterial material;
    material.name = "Stone";
    material.passes = {pass};
    EXPECT_EQ(WriteMaterialLibrary({material}),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<MaterialLib>\n"
              "  <Material Name=\"Stone\">\n"
              "    <Effect Path=\"../Data/Effects/mat.fx\"/>\n"
              "    <Pass>\n"
              "      <RenderState>\n"
              "        <Blend Use=\"1\"/>\n"
              "      </RenderState>\n"
              "      <Textures>\n"
              "        <Entry Path=\"c\" Usage=\"CubeMap\">\n"
              "          <PX Path=\"px.dds\"/>\n"
              "          <NX/>\n"
              "        </Entry>\n"
              "      </Textures>\n"
              "      <Vertexbuffer Layout=\"POSITION TEXCOORD0\"/>\n"
              "    </Pass>\n"
              "  </Material>\n"
              "</MaterialLib>\n");
}

}  // namespace
