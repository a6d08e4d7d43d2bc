// Text boxes made through the proxy factory: when the rectangle is measured, the colour packing,
// the manager's registration, and the boxes drawn into a frame before and after a device reset.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "Interface/ZelEngine.h"
#include "Render/RenderCore/ProxyFactory.h"
#include "Render/RenderCore/ZelTextBox.h"
#include "Render/RenderCore/ZelTextBoxManager.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"
#include "tests/support/GoldenImage.h"

namespace ZelTest {
namespace {

constexpr int kTolerance = 2;

class TextBoxTest : public OpenWindowTest {
protected:
    struct FactoryDeleter {
        void operator()(ZelI::IProxyFactory* factory) const { delete factory; }
    };
    std::unique_ptr<ZelI::IProxyFactory, FactoryDeleter> factory_{CreateIProxyFactory()};

    Zel::IZelTextBoxImpl* Box(int x, int y, int width, int height) {
        return static_cast<Zel::IZelTextBoxImpl*>(factory_->CreateTextBox(x, y, width, height));
    }
    // One frame: clear, draw the boxes, present.
    template <class... Boxes>
    void Frame(Boxes*... boxes) {
        const float colour[4] = {0.1f, 0.1f, 0.3f, 1.0f};
        Render()->SetClearColor(colour);
        Render()->FrameBegin();
        Render()->Clear();
        (boxes->Draw(), ...);
        Render()->FrameEnd();
        Render()->SwapBuffer();
    }
};

TEST_F(TextBoxTest, RectangleIsMeasuredOnlyWhenItsSizeIsOpen) {
    const struct {
        int x, y, width, height;
        bool measured;
        bool keepsRight;   // right stays as set
        bool zeroedRight;  // right and bottom become 0
    } cases[] = {
        {10, 20, 100, 30, false, true, false},  // a full rectangle is used as set
        {10, 20, 100, 0, true, false, false},   // open height: measured
        {10, 20, 0, 30, false, false, true},    // no width, height given: zeroed, not measured
        {10, 20, 0, -5, true, false, false},    // no width, negative height: measured as it is
    };
    for (const auto& c : cases) {
        Zel::IZelTextBoxImpl* box = Box(c.x, c.y, c.width, c.height);
        ASSERT_TRUE(box->HasFont());
        box->SetText("Some words to fit", true);
        box->Draw();
        const RECT& r = box->GetRect();
        if (c.measured) {
            // Fitted to the text: as tall as a line, as wide as the words.
            EXPECT_GT(r.bottom, r.top) << c.width << "x" << c.height;
            EXPECT_GT(r.right, r.left) << c.width << "x" << c.height;
            EXPECT_NE(r.right, c.x + c.width) << c.width << "x" << c.height;
        }
        if (c.keepsRight) {
            EXPECT_EQ(r.right, c.x + c.width);
        }
        if (c.zeroedRight) {
            EXPECT_TRUE(r.right == 0 && r.bottom == 0);
        }
        box->Draw();
        EXPECT_EQ(box->GetLayoutCount(), 1u) << "the second draw looked again";
        box->Release();
    }
}

TEST_F(TextBoxTest, ChangesThatAffectTheLayoutMeasureAgain) {
    Zel::IZelTextBoxImpl* box = Box(10, 20, 100, 0);
    box->SetText("alpha", true);
    box->Draw();
    const LONG fitted = box->GetRect().bottom;
    EXPECT_GT(fitted, 20);
    const struct {
        const char* step;
        void (*change)(Zel::IZelTextBoxImpl*);
        std::uint32_t measures;
    } steps[] = {
        {"same text", [](Zel::IZelTextBoxImpl* b) { b->SetText("alpha", true); }, 1},
        {"new text", [](Zel::IZelTextBoxImpl* b) { b->SetText("beta", true); }, 2},
        {"word break off", [](Zel::IZelTextBoxImpl* b) { b->SetText("beta", false); }, 3},
        {"colour", [](Zel::IZelTextBoxImpl* b) { b->SetColor(1, 0, 0, 1); }, 3},
        {"rectangle", [](Zel::IZelTextBoxImpl* b) { b->SetRect(10, 20, 100, 0); }, 4},
        {"invisible",
         [](Zel::IZelTextBoxImpl* b) { b->SetRect(0, 0, 50, 0), b->SetVisible(false); }, 4},
        {"empty", [](Zel::IZelTextBoxImpl* b) { b->SetVisible(true), b->ClearText(); }, 4},
        {"null text", [](Zel::IZelTextBoxImpl* b) { b->SetText(nullptr, false); }, 4},
    };
    for (const auto& s : steps) {
        s.change(box);
        box->Draw();
        EXPECT_EQ(box->GetLayoutCount(), s.measures) << s.step;
    }
    box->Release();
}

TEST_F(TextBoxTest, ColourChannelsAreClampedAndRounded) {
    const struct {
        float rgba[4];
        std::uint32_t packed;
    } cases[] = {
        {{1.2f, 0.5f, -0.1f, 1.0f}, 0xFFFF8000u},         {{0.0f, 0.0f, 0.0f, 0.0f}, 0x00000000u},
        {{1.0f, 1.0f, 1.0f, 1.0f}, 0xFFFFFFFFu},          {{0.25f, 0.75f, 0.1f, 0.5f}, 0x8040BF1Au},
        {{std::nanf(""), 0.5f, 0.5f, 1.0f}, 0xFF008080u},  // NaN is no colour
    };
    for (const auto& c : cases) EXPECT_EQ(Zel::IZelTextBoxImpl::PackColor(c.rgba), c.packed);
}

TEST_F(TextBoxTest, BoxesRegisterOnceAndLeaveTheManagerHoweverTheyGo) {
    Zel::ZelTextBoxManager* manager = G()->GetTextBoxManager();
    const std::size_t before = manager->GetCount();
    Zel::IZelTextBoxImpl* a = Box(0, 0, 10, 10);
    Zel::IZelTextBoxImpl* b = Box(0, 0, 10, 10);
    Zel::IZelTextBoxImpl* c = Box(0, 0, 10, 10);
    EXPECT_EQ(manager->GetCount(), before + 3);
    EXPECT_FALSE(manager->Register({a, nullptr, nullptr, nullptr}));
    EXPECT_FALSE(manager->Register({nullptr, nullptr, nullptr, nullptr}));
    a->Release();
    EXPECT_FALSE(manager->IsRegistered(a));
    delete b;  // the deleting destructor unregisters as Release does
    EXPECT_FALSE(manager->IsRegistered(b));
    EXPECT_TRUE(manager->IsRegistered(c));
    EXPECT_EQ(manager->GetCount(), before + 1);
    c->Release();
}

TEST_F(TextBoxTest, BoxesAppearInTheFrameAndSurviveAReset) {
    Zel::IZelTextBoxImpl* fitted = Box(2, 2, 60, 0);
    fitted->SetText("Zel text", true);
    fitted->SetColor(1.2f, 0.5f, -0.1f, 1.0f);
    Zel::IZelTextBoxImpl* fixed = Box(2, 24, 60, 20);
    fixed->SetText("a\tb", false);
    Frame(fitted, fixed);
    ExpectGoldenFrame(*Window(), "text_boxes", kTolerance);

    ZelI::IGlobalEnvironment* env = factory_->GetGlobalEnvironment();
    env->OnLostDevice();
    env->OnResetDevice();
    // Logged only when the device reset went through.
    EXPECT_NE(Log().find("OnResetDevice,Activeate End"), std::string::npos);
    Frame(fitted, fixed);
    ExpectGoldenFrame(*Window(), "text_boxes", kTolerance);
    fitted->Release();
    fixed->Release();
}

}  // namespace
}  // namespace ZelTest
