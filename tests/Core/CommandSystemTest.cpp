#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Core/CommandArgs.h"
#include "Core/CommandSystem.h"
#include "Core/ConsoleTextBuffer.h"
#include "Core/DebugConsole.h"
#include "Core/GlobalConfigManager.h"
#include "CoreRootFixture.h"

namespace {

using CommandSystemTest = ZelTest::CoreRootTest;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(CommandArgsTest, OnlyOffSwitchesOff) {
    struct Case {
        const char* text;
        const char* variable;
        const char* valueWord;
        int on;
        const char* valueText;
    };
    const Case cases[] = {
        {"actor off", "actor", "off", 0, ""},
        {"actor on", "actor", "on", 1, "on"},
        {"actor 0", "actor", "0", 1, "0"},
        {"actor", "actor", "actor", 1, "actor"},
        {"nospepartial a;b more", "nospepartial", "a;b", 1, "a;b"},
        {"", "", "", 1, ""},
    };
    for (const Case& c : cases) {
        const Zel::CommandArgs args = Zel::ParseCommandArgs(c.text);
        EXPECT_EQ(args.variable, c.variable) << c.text;
        EXPECT_EQ(args.valueWord, c.valueWord) << c.text;
        EXPECT_EQ(args.on, c.on) << c.text;
        EXPECT_EQ(args.valueText, c.valueText) << c.text;
        EXPECT_EQ(args.floatValue, 0.0f);
    }
}

TEST_F(CommandSystemTest, LinesSetSwitchesAndAnswerTheirStatus) {
    Zel::CommandSystem* commands = G()->GetCommandSystem();
    Zel::GlobalConfigManager* config = G()->GetConfigManager();
    struct Case {
        const char* line;
        bool ok;
        std::uint32_t index;  // switch to check, or 999
        std::int32_t value;
    };
    const Case cases[] = {
        {"draw actor off", true, 15, 0},
        {"draw actor on", true, 15, 1},
        {"draw actor off", true, 15, 0},
        {"draw actor 0", true, 15, 1},
        {"draw actor off", true, 15, 0},
        {"draw actor", true, 15, 1},
        {"DRAW SOILD OFF\n", true, 17, 0},
        {"update bonematrix off", true, 30, 0},
        {"load defalutcteatetex", true, 45, 1},
        {"set viewmsgbox on", true, 82, 1},
        {"draw nothing off", false, 999, 0},
        {"engineinit anything", false, 999, 0},
        {"engineinit", false, 999, 0},
        {"show", false, 999, 0},
        {"show status", true, 999, 0},
        {"/?", true, 999, 0},
        {"cls", true, 999, 0},
        {"x", false, 999, 0},
        {" draw actor off", false, 999, 0},
        {"", false, 999, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(commands->ExecuteCommand(c.line), c.ok) << c.line;
        if (c.index != 999) {
            EXPECT_EQ(config->GetValue(c.index), c.value) << c.line;
        }
    }
    EXPECT_TRUE(commands->ExecuteCommand("set nospepartial A/B;c"));
    EXPECT_EQ(config->GetBlockedDirs(0), "a\\b;c");
    EXPECT_TRUE(commands->ExecuteCommand("set nospepartial off"));
    EXPECT_FALSE(config->HasBlockedDirs(0));
    EXPECT_TRUE(commands->ExecuteCommand("set nospepartial"));
    EXPECT_EQ(config->GetBlockedDirs(0), "nospepartial");
}

TEST_F(CommandSystemTest, HelpAndStatusListTheCommandsInTheConsole) {
    Zel::DebugConsole* console = G()->GetDebugConsole();
    console->Create();
    console->Show();
    G()->GetCommandSystem()->ExecuteCommand("set nochrpartial x");
    G()->GetCommandSystem()->ExecuteCommand("cls");
    const std::string& output = console->GetBuffer().output;
    EXPECT_EQ(output, " sucess! \r\n>");

    G()->GetCommandSystem()->ExecuteCommand("/?");
    for (const char* name :
         {"draw\r\n", "engineinit\r\nload\r\n", "open\r\n", "set\r\n", "update\r\n", "write\r\n",
          "  soild (on/off) :是否绘制不透明物体\r\n", "  nochrpartial (Zel::ZelString value) :"})
        EXPECT_NE(output.find(name), std::string::npos) << name;
    G()->GetCommandSystem()->ExecuteCommand("show status");
    EXPECT_NE(output.find("  actor ,type=int,value= 1\r\n"), std::string::npos);
    EXPECT_NE(output.find("  nochrpartial ,type=int,value= 1\r\n"), std::string::npos);
    EXPECT_NE(output.find("  nospepartial ,type=int,value= 0\r\n"), std::string::npos);
}

TEST_F(CommandSystemTest, ScriptFiles) {
    Zel::CommandSystem* commands = G()->GetCommandSystem();
    Zel::GlobalConfigManager* config = G()->GetConfigManager();
    struct Case {
        const char* text;
        bool ok;
        std::int32_t actor;  // switch 15 afterwards
        std::int32_t scene;  // switch 24 afterwards
    };
    const Case cases[] = {
        {"", true, 1, 1},
        {"draw actor off\r\nupdate scene off\r\n", true, 0, 0},
        {"Draw Actor Off\r\nUPDATE SCENE OFF", true, 0, 0},  // last line without a line feed
        {"x\r\ndraw actor off\n\n", true, 0, 1},             // one-character lines are skipped
        {"draw actor off\r\nremark line\r\nupdate scene off\r\n", false, 0, 0},
    };
    for (const Case& c : cases) {
        config->SetDefaults();
        dir_.Write("script.txt", c.text);
        EXPECT_EQ(commands->ExecuteCommandFile("script.txt"), c.ok) << c.text;
        EXPECT_EQ(config->GetValue(15), c.actor) << c.text;
        EXPECT_EQ(config->GetValue(24), c.scene) << c.text;
    }
    EXPECT_FALSE(commands->ExecuteCommandFile("missing.txt"));
    EXPECT_FALSE(commands->ExecuteCommandFile(""));
    EXPECT_FALSE(commands->ExecuteCommandFile(nullptr));
    // Something far larger than a script, or a device that never ends, is refused unread.
    config->SetDefaults();
    dir_.Write("huge.txt", "draw actor off\n" + std::string(std::size_t(1) << 21, '#'));
    EXPECT_FALSE(commands->ExecuteCommandFile("huge.txt"));
    EXPECT_EQ(config->GetValue(15), 1);
    EXPECT_FALSE(commands->ExecuteCommandFile("/dev/zero"));
    // A command file named with backslashes and another case is found.
    dir_.Write("Sub/Cfg.txt", "draw model off\n");
    EXPECT_TRUE(commands->ExecuteCommandFile("sub\\cfg.TXT"));
    EXPECT_EQ(config->GetValue(18), 0);
}

TEST_F(CommandSystemTest, AScriptThatOpensItselfStopsAtTheNestingLimit) {
    dir_.Write("self.txt", "draw actor off\nopen command self.txt\n");
    Zel::DebugConsole* console = G()->GetDebugConsole();
    console->Create();
    console->Show();
    EXPECT_FALSE(G()->GetCommandSystem()->ExecuteCommandFile("self.txt"));
    EXPECT_EQ(G()->GetConfigManager()->GetValue(15), 0);
    const std::string& output = console->GetBuffer().output;
    // Eight files ran; the ninth was refused and each "open" above it failed.
    std::size_t runs = 0;
    for (std::size_t at = 0; (at = output.find("draw actor off\r\n", at)) != std::string::npos;
         ++at)
        ++runs;
    EXPECT_EQ(runs, static_cast<std::size_t>(Zel::CommandSystem::kMaxFileDepth));
    EXPECT_NE(output.find("nested too deeply"), std::string::npos);
    EXPECT_NE(output.find(" command failed \r\n"), std::string::npos);
}

TEST_F(CommandSystemTest, WrittenHistoryIsOldestFirstWithoutConsoleOnlyLinesAndReplays) {
    Zel::DebugConsole* console = G()->GetDebugConsole();
    console->Create();
    console->Show();
    // 300 lines with the two below: the ring keeps the last 256, which start with line 44.
    for (int i = 0; i < 298; ++i) {
        const std::string line = i == 297 ? "draw cloth off" : (i % 2 ? "/?" : "draw model on");
        console->SetInputText((line + (i == 44 ? " " : "")).c_str());
        console->SubmitInputLine();
    }
    console->SetInputText("cls");
    console->SubmitInputLine();
    console->SetInputText("write command history.txt");
    console->SubmitInputLine();
    const std::string saved = ReadFile((dir_.Path() / "history.txt").string());
    std::string expected = "draw model on \n";  // line 44 first
    for (int i = 46; i < 297; i += 2) expected += "draw model on\n";
    expected += "draw cloth off\n";
    EXPECT_EQ(saved, expected);

    G()->GetConfigManager()->SetDefaults();
    console->SetInputText("open command history.txt");
    console->SubmitInputLine();
    EXPECT_EQ(G()->GetConfigManager()->GetValue(10), 0);
    EXPECT_FALSE(G()->GetCommandSystem()->SaveCommandFile(""));
    EXPECT_FALSE(G()->GetCommandSystem()->ExecuteCommand("write command no/such/dir/h.txt"));
}

}  // namespace
