// Make-up: the configuration file, which settings a state accepts, the layer image names, the
// blend and colour rules on small pixel tables, and a face composed on an actor.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ActorFixture.h"
#include "Entity/Character/MakeupState.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/ImageSurface.h"
#include "Entity/Texture/TextureManager.h"
#include "fixtures/ImageFixtures.h"

namespace {

using namespace ZelTest;
using Zel::Actor;
using Zel::MakeupState;
using Words = std::vector<std::uint32_t>;

void Text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Colour(int id, const char* values) {
    return "<color id=\"" + std::to_string(id) + "\">" + values + "</color>";
}
const char* const kPlainColour =
    "<r>1</r><g>1</g><b>1</b><input_min>0</input_min><input_max>1</input_max>"
    "<output_min>0</output_min><output_max>1</output_max><curve>0.5</curve>";
const char* const kRect = "<rect><x>0</x><y>0</y><w>1</w><h>1</h></rect>";

// EYEBROW plain with colours 0 and 3; MOUTH a colour map; EYELASH without colours; BLUSHER skin
// bound colour map; PUPIL_L/R and PUPILLIGHT plain; a layer whose rect lacks h; an unknown name.
std::string MakeupFile() {
    auto layer = [](const char* id, const std::string& flags, const std::string& rest) {
        return std::string("<makeup id=\"") + id + "\">" + flags + rest + "</makeup>";
    };
    return "<makeups>" +
           layer("EYEBROW", "",
                 std::string(kRect) + "<tex styleid=\"0\">brow</tex>" + Colour(0, kPlainColour) +
                     Colour(3, kPlainColour)) +
           layer("PUPIL_L", "",
                 std::string(kRect) + "<tex styleid=\"0\">pl</tex>" + Colour(0, kPlainColour)) +
           layer("PUPIL_R", "",
                 std::string(kRect) + "<tex styleid=\"0\">pr</tex>" + Colour(0, kPlainColour)) +
           layer("PUPILLIGHT", "",
                 std::string(kRect) + "<tex styleid=\"0\">pli</tex>" + Colour(0, kPlainColour)) +
           layer("MOUTH", "<color_map/>",
                 std::string(kRect) + "<tex styleid=\"2\">lip</tex><tex>no style</tex>" +
                     Colour(7, "") + Colour(12, "")) +
           layer("EYELASH", "<no_color/>",
                 "<rect><x>0.5</x><y>0</y><w>1</w><h>1</h></rect><tex styleid=\"1\">lash</tex>") +
           layer("BLUSHER", "<color_map/><depend_skin/>",
                 std::string(kRect) + "<tex styleid=\"0\">lip</tex>" + Colour(7, "")) +
           layer("EYELINE", "", "<rect><x>0</x><y>0</y><w>1</w></rect><tex styleid=\"0\">l</tex>") +
           layer("NOSE", "", std::string(kRect) + "<tex styleid=\"0\">n</tex>") + "</makeups>";
}

class ActorMakeupTest : public ActorTest {
protected:
    void SetUp() override {
        ActorTest::SetUp();
        MakeupState::ResetConfiguration();
    }
    void TearDown() override {
        MakeupState::ResetConfiguration();
        ActorTest::TearDown();
    }
};

TEST_F(ActorMakeupTest, TheFileGivesLayersStylesAndColours) {
    Text("f_makeup.xml", MakeupFile());
    ASSERT_TRUE(MakeupState::LoadMakeupConfig(false, "f_makeup.xml"));
    const Zel::MakeupConfig& config = MakeupState::GetConfig(false);
    // EYELINE (rect without h) and NOSE (no such layer) are skipped.
    ASSERT_EQ(config.layers.size(), 7u);
    EXPECT_EQ(config.FindLayer(7), nullptr);
    EXPECT_EQ(config.FindLayer(11)->colourMap, 1);
    EXPECT_EQ(config.FindLayer(8)->noColour, 1);
    EXPECT_FLOAT_EQ(config.FindLayer(8)->x, 0.5f);
    EXPECT_EQ(config.FindStyle(11, 2)->name, "lip");
    const Zel::MakeupColor* mapped = config.FindColour(11, 12);
    ASSERT_NE(mapped, nullptr);
    EXPECT_EQ(mapped->r + mapped->g + mapped->b, 0.0f);
    EXPECT_EQ(mapped->curve, 0.5f);
    // Reading again replaces the lists rather than appending to them.
    ASSERT_TRUE(MakeupState::LoadMakeupConfig(false, "f_makeup.xml"));
    EXPECT_EQ(MakeupState::GetConfig(false).layers.size(), 7u);
    EXPECT_FALSE(MakeupState::LoadMakeupConfig(false, "missing.xml"));
    Text("bad.xml", "<other/>");
    EXPECT_FALSE(MakeupState::LoadMakeupConfig(false, "bad.xml"));
    EXPECT_EQ(MakeupState::GetConfig(false).layers.size(), 7u) << "a failed read keeps the lists";
}

TEST_F(ActorMakeupTest, LayerImageNames) {
    Text("f_makeup.xml", MakeupFile());
    ASSERT_TRUE(MakeupState::LoadMakeupConfig(false, "f_makeup.xml"));
    const Zel::MakeupConfig& config = MakeupState::GetConfig(false);
    Actor* a = Dressed();
    ASSERT_TRUE(a->SetBodyPart(2, "face8.bp3"));
    ASSERT_NE(a->GetMakeupState(), nullptr);
    const MakeupState& state = *a->GetMakeupState();
    struct Case {
        std::int32_t layer, style, colour;
        std::string slot0;
        const char* name;
    };
    const Case cases[] = {{11, 2, 7, "body0.bp3", "lip_07"},
                          {11, 2, 12, "body0.bp3", "lip_12"},
                          {9, 0, 7, "body3.bp3", "lip_07_4"},
                          {9, 0, 7, "", "lip_07_1"},
                          {4, 0, 0, "body3.bp3", "brow"}};
    for (const Case& c : cases)
        EXPECT_EQ(
            state.GetLayerImageName(*config.FindLayer(c.layer), *config.FindStyle(c.layer, c.style),
                                    c.colour, MakeupState::SkinIndexOf(c.slot0)),
            c.name);
}

TEST_F(ActorMakeupTest, SetAcceptsOnlyRecordedChoices) {
    Text("f_makeup.xml", MakeupFile());
    ASSERT_TRUE(MakeupState::LoadMakeupConfig(false, "f_makeup.xml"));
    Actor* a = Dressed();
    ASSERT_TRUE(a->SetBodyPart(2, "face8.bp3"));
    MakeupState* state = a->GetMakeupState();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(MakeupState::GetConfig(false).layers.size(), 7u)
        << "the host's file is not replaced by the defaults";
    EXPECT_EQ(state->GetSettings().size(), 4u) << "brow and pupils preset";
    struct Case {
        std::int32_t layer, style, colour;
        bool accepted;
    };
    const Case cases[] = {{4, 0, 3, true},   {4, 0, 2, false},  {4, 1, 0, false},
                          {5, 0, 0, false},  {13, 0, 0, false}, {8, 1, 99, true},
                          {11, 2, 12, true}, {11, 0, 12, false}};
    for (const Case& c : cases)
        EXPECT_EQ(state->Set(c.layer, c.style, c.colour), c.accepted)
            << c.layer << "/" << c.style << "/" << c.colour;
    EXPECT_EQ(state->GetSettings().at(4), std::make_pair(0, 3));
    EXPECT_TRUE(a->SetMakeupValue(4, 0, 0));
    ASSERT_TRUE(a->SetBodyPart(2, "part2.bp3"));
    EXPECT_EQ(a->GetMakeupState(), nullptr) << "another face figure drops the state";
    EXPECT_FALSE(a->SetMakeupValue(4, 0, 0));
}

// Destination 4 x 3, all (A 0x80, grey 0x40); the source is 3 x 2.
TEST(MakeupBlend, ClippedAlphaRules) {
    const std::uint32_t grey = 0x80404040u;
    const std::uint32_t red = 0xFFFF0000u, half = 0x80FF0000u, clear = 0x00FFFFFFu;
    const Words source = {red, half, clear, red, red, red};
    struct Case {
        const char* name;
        float x;
        bool eyelash;
        Words expected;
    };
    // Red 0.502 x 255 + 0.498 x 64 = 159.9, green and blue 0.498 x 64 = 31.9, truncated.
    const std::uint32_t mix = 0xFF9F1F1Fu;
    const std::uint32_t lash = 0x809F1F1Fu;
    const Case cases[] = {
        {"from the first pixel",
         0.0f,
         false,
         {red, mix, grey, grey, red, red, red, grey, grey, grey, grey, grey}},
        {"the eyelash keeps the source alpha",
         0.0f,
         true,
         {red, lash, grey, grey, red, red, red, grey, grey, grey, grey, grey}},
        // Start 2: columns 2, 3 are drawn; the third column would wrap to the next row.
        {"clipped at the row's end",
         0.5f,
         false,
         {grey, grey, red, mix, grey, grey, red, red, grey, grey, grey, grey}},
        // Start 9 (row 2): the second source row would fall below the image.
        {"clipped at the last row",
         2.25f,
         false,
         {grey, grey, grey, grey, grey, grey, grey, grey, grey, red, mix, grey}},
        {"before the first pixel", -1.0f, false, Words(12, grey)},
    };
    for (const Case& c : cases) {
        Words destination(12, grey);
        MakeupState::Blend(destination.data(), 4, 3, source.data(), 3, 2, c.x, c.eyelash);
        EXPECT_EQ(destination, c.expected) << c.name;
    }
}

TEST(MakeupColour, CurveTable) {
    Words pixels;
    for (std::uint32_t v = 0; v < 256; ++v) pixels.push_back(0xFF000000u | v << 16 | v << 8 | v);
    pixels.push_back(0x00123456u);  // transparent: untouched
    const Words original = pixels;
    Zel::MakeupColor identity;
    MakeupState::TransformColours(pixels.data(), pixels.size(), identity);
    EXPECT_EQ(pixels, original);

    Zel::MakeupColor tinted;
    tinted.r = 0.5f;
    tinted.g = 0.0f;
    Words one = {0xFFFFFFFFu, 0x80808080u};
    MakeupState::TransformColours(one.data(), one.size(), tinted);
    EXPECT_EQ(one[0], 0xFF7F00FFu);
    EXPECT_EQ(one[1] >> 24, 0x80u) << "alpha unchanged";

    // Empty ranges read as 0 instead of dividing by zero.
    Zel::MakeupColor empty;
    empty.inputMin = empty.inputMax = 0.3f;
    Words flat = {0xFF808080u};
    MakeupState::TransformColours(flat.data(), flat.size(), empty);
    EXPECT_EQ(flat[0], 0xFF000000u);
    empty = Zel::MakeupColor{};
    empty.outputMin = empty.outputMax = 1.0f;
    flat = {0xFF808080u};
    MakeupState::TransformColours(flat.data(), flat.size(), empty);
    EXPECT_EQ(flat[0], 0xFF000000u);
}

// The whole road: a lash image from the make-up folder laid over the face, the result taking the
// face's place in the body texture.
TEST_F(ActorMakeupTest, ComposeLaysTheChosenLayersOverTheFace) {
    // The make-up folder is "..\resources\...": work one folder down.
    std::filesystem::create_directories("w");
    std::filesystem::create_directories("resources/media/shaders/role/makeup/female");
    Text("resources/media/shaders/role/makeup/female/f_makeup.xml", MakeupFile());
    ZelFixtures::RgbaImage lash{2, 1, {10, 20, 30, 255, 0, 0, 0, 0}};
    const ZelFixtures::Bytes png = ZelFixtures::WritePng(ZelFixtures::PngFromRgba(lash, true));
    std::ofstream("resources/media/shaders/role/makeup/female/lash.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    Actor* a = Dressed();
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path("w");
    ASSERT_TRUE(a->SetBodyPart(2, "../face8.bp3"));
    MakeupState* state = a->GetMakeupState();
    ASSERT_NE(state, nullptr);
    ASSERT_NE(state->GetWorkImage(), nullptr);
    ASSERT_TRUE(state->Set(8, 1, 0));
    // The preset layers have no images here: each is reported and left out.
    Zel::Image* face = a->GetPartImage(2);
    ASSERT_NE(face, nullptr);
    const Zel::ImageSurface* base = face->GetFirstSurface();
    const Words before(reinterpret_cast<const std::uint32_t*>(base->GetData()),
                       reinterpret_cast<const std::uint32_t*>(base->GetData()) +
                           base->GetWidth() * base->GetHeight());
    G()->GetConfigManager()->SetValue(Actor::kBodyTextureSwitch, 1);
    G()->GetTextureManager()->SetDevice(Device().GetD3DDevice(), &Device());
    EXPECT_TRUE(a->SetMakeupValue(13, 0, 0));
    std::filesystem::current_path(home);
    Zel::Image* work = state->GetWorkImage();
    EXPECT_EQ(a->GetPartImage(2), work);
    const auto* after = reinterpret_cast<const std::uint32_t*>(work->GetFirstSurface()->GetData());
    // The lash starts at x = 0.5 of the row: its opaque pixel lands there, its clear one leaves
    // the face as it was.
    const std::uint32_t at = base->GetWidth() / 2;
    EXPECT_EQ(after[at], 0xFF0A141Eu);
    EXPECT_EQ(after[at + 1], before[at + 1]);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_NE(a->GetBodyTexture(), nullptr);
}

}  // namespace
