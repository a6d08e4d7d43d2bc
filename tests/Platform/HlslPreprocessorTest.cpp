#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HlslTestEffects.h"
#include "Platform/D3DX9/Hlsl/Diagnostics.h"
#include "Platform/D3DX9/Hlsl/Preprocessor.h"

namespace {

using Hlsl::Diagnostics;
using Hlsl::Preprocessor;

// The preprocessed tokens joined by blanks (strings quoted), and the messages.
std::string Preprocess(const std::string& text, std::string* messages = nullptr,
                       Hlsl::IIncludeHandler* includes = nullptr,
                       std::vector<Hlsl::Token>* tokens = nullptr) {
    Diagnostics d;
    Preprocessor p(d, includes);
    std::vector<Hlsl::Token> out = p.Run("main.fx", text);
    std::string joined;
    for (const Hlsl::Token& t : out) {
        if (t.kind == Hlsl::TokenKind::End)
            break;
        if (!joined.empty())
            joined += ' ';
        joined += t.kind == Hlsl::TokenKind::String ? "\"" + t.text + "\"" : t.text;
    }
    if (messages != nullptr)
        *messages = d.Text();
    if (tokens != nullptr)
        *tokens = out;
    return joined;
}

struct Case {
    const char* name;
    const char* text;
    const char* expected;
};

TEST(HlslPreprocessorTest, ExpandsAndSelectsAsWritten) {
    const Case cases[] = {
        {"object macro", "#define MAX_BONE 60\nfloat4x3 b[MAX_BONE];", "float4x3 b [ 60 ] ;"},
        {"function macro", "#define MUL2(a, b) ((a) * (b))\nx = MUL2(y + 1, z);",
         "x = ( ( y + 1 ) * ( z ) ) ;"},
        {"nested macros", "#define A B + 1\n#define B 2\nA", "2 + 1"},
        {"self reference stops", "#define X X + 1\nX", "X + 1"},
        {"name without call stays", "#define F(x) x\nF;", "F ;"},
        {"stringise and paste", "#define S(x) #x\n#define P(a, b) a ## b\nS(ab c) P(g_, Mat)",
         "\"ab c\" g_Mat"},
        {"ifdef taken", "#define ON\n#ifdef ON\na\n#else\nb\n#endif", "a"},
        {"ifndef and else", "#ifndef ON\na\n#else\nb\n#endif", "a"},
        {"if with defined and arithmetic",
         "#define V 3\n#if defined(V) && V * 2 == 6 && !defined W\nyes\n#endif", "yes"},
        {"elif chain",
         "#define V 2\n#if V == 1\none\n#elif V == 2\ntwo\n#elif V == "
         "2\nagain\n#else\nother\n#endif",
         "two"},
        {"nested conditionals skip", "#if 0\n#if 1\na\n#endif\nb\n#else\nc\n#endif", "c"},
        {"unknown names are zero", "#if UNKNOWN\na\n#else\nb\n#endif", "b"},
        {"undef", "#define A 1\n#undef A\n#ifdef A\na\n#endif\nA", "A"},
        {"comments and continued lines", "a /* x\ny */ b // c\n#define L 1 + \\\n 2\nL",
         "a b 1 + 2"},
        {"pragma ignored", "#pragma pack_matrix(row_major)\nz", "z"},
        {"directive in inactive part ignored", "#if 0\n#bogus\n#error no\n#endif\nok", "ok"},
    };
    for (const Case& c : cases) {
        std::string messages;
        EXPECT_EQ(Preprocess(c.text, &messages), c.expected) << c.name;
        EXPECT_EQ(messages, "") << c.name;
    }
}

TEST(HlslPreprocessorTest, ReportsFaultsWithPlace) {
    const Case cases[] = {
        {"unterminated if", "a\n#if 1\nb",
         "main.fx(2,2): error X1000: unexpected end of file: missing #endif"},
        {"endif alone", "#endif", "main.fx(1,2): error X1000: #endif without #if"},
        {"else twice", "#if 1\n#else\n#else\n#endif",
         "main.fx(3,2): error X1000: #else after #else"},
        {"error directive", "\n#error stop here", "main.fx(2,2): error X1003: #error: stop here"},
        {"unknown directive", "#foo",
         "main.fx(1,2): error X1000: unknown preprocessor directive '#foo'"},
        {"bad if", "#if 1 +\n#endif", "error X1000: missing value in #if expression"},
        {"division by zero", "#if 1 / 0\n#endif",
         "main.fx(1,7): error X1000: division by zero in #if expression"},
        {"macro argument count", "#define F(a, b) a\nF(1)",
         "main.fx(2,1): error X1000: macro 'F' expects 2 arguments"},
        {"missing include", "#include \"nothere.fx\"",
         "main.fx(1,2): error X1507: failed to open source file: 'nothere.fx'"},
        {"unterminated comment", "a /* b",
         "main.fx(1,3): error X1004: unexpected end of file in comment"},
    };
    for (const Case& c : cases) {
        std::string messages;
        Preprocess(c.text, &messages);
        EXPECT_NE(messages.find(c.expected), std::string::npos) << c.name << ": " << messages;
    }
}

// Numbers a long long cannot hold and lines of thousands of operators are refused with a
// message; the process neither casts out of range nor runs out of stack.
TEST(HlslPreprocessorTest, RefusesIfExpressionsPastItsLimits) {
    auto repeat = [](const std::string& piece, int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += piece;
        return text;
    };
    struct LimitCase {
        const char* name;
        std::string expression;
        const char* expected;
    };
    const LimitCase cases[] = {
        {"float past 2^63", "1e19", "number out of range in #if expression: '1e19'"},
        {"decimal 2^63", "9223372036854775808",
         "number out of range in #if expression: '9223372036854775808'"},
        {"negated", "-18446744073709551615",
         "number out of range in #if expression: '18446744073709551615'"},
        {"hexadecimal", "0xFFFFFFFFFFFFFFFF",
         "number out of range in #if expression: '0xFFFFFFFFFFFFFFFF'"},
        {"not", repeat("!", 20000) + "1", "#if expression nested too deeply"},
        {"complement and minus", repeat("~-", 10000) + "1", "#if expression nested too deeply"},
        {"parentheses", repeat("(", 8000) + "1" + repeat(")", 8000),
         "#if expression nested too deeply"},
        {"conditional chain", repeat("1 ? ", 8000) + "1" + repeat(" : 0", 8000),
         "#if expression nested too deeply"},
        {"else chain", repeat("0 ? 0 : ", 8000) + "1", "#if expression nested too deeply"},
    };
    for (const LimitCase& c : cases) {
        for (const char* form : {"#if ", "#if 0\n#elif "}) {
            const std::string text = std::string(form) + c.expression + "\nyes\n#endif";
            std::string messages;
            EXPECT_EQ(Preprocess(text, &messages), "") << c.name;
            EXPECT_NE(messages.find(c.expected), std::string::npos) << c.name << ": " << messages;
        }
    }

    // Under the limits the same shapes evaluate.
    const Case valid[] = {
        {"largest value",
         "#if 9223372036854775807 > 0 && 1.5e18 == 1500000000000000000\nyes\n#endif", "yes"},
        {"fraction truncated", "#if 0.75\nno\n#else\nyes\n#endif", "yes"},
    };
    for (const Case& c : valid) {
        std::string messages;
        EXPECT_EQ(Preprocess(c.text, &messages), c.expected) << c.name;
        EXPECT_EQ(messages, "") << c.name;
    }
    std::string messages;
    EXPECT_EQ(Preprocess("#if " + repeat("!", 100) + repeat("(", 90) + "1" + repeat(")", 90) +
                             "\nyes\n#endif",
                         &messages),
              "yes");
    EXPECT_EQ(messages, "");
}

TEST(HlslPreprocessorTest, IncludesThroughTheHandlerAndTracksTheirLines) {
    HlslTest::TableIncludes includes({{"inc/a.fx", "#include \"b.fx\"\nfloat a;\n"},
                                      {"b.fx", "#define FROM_B 7\n\nfloat b = FROM_B;\n"},
                                      {"self.fx", "#include \"self.fx\"\n"}});
    std::vector<Hlsl::Token> tokens;
    std::string messages;
    EXPECT_EQ(Preprocess("#include \"inc/a.fx\"\nfloat c;", &messages, &includes, &tokens),
              "float b = 7 ; float a ; float c ;");
    EXPECT_EQ(messages, "");
    EXPECT_EQ(includes.OpenCount(), 0);  // every Open was closed
    // "float b" is on line 3 of b.fx (file 2), "float c" on line 2 of the main file (file 0).
    EXPECT_EQ(tokens[0].location.file, 2u);
    EXPECT_EQ(tokens[0].location.line, 3u);
    EXPECT_EQ(tokens[8].location.file, 0u);
    EXPECT_EQ(tokens[8].location.line, 2u);

    // A file that includes itself stops at the depth limit with a message, not a crash.
    Preprocess("#include \"self.fx\"", &messages, &includes);
    EXPECT_NE(messages.find("#include nested too deeply: 'self.fx'"), std::string::npos)
        << messages;
    EXPECT_EQ(includes.OpenCount(), 0);

    // System includes reach the handler too.
    HlslTest::TableIncludes sys(std::map<std::string, std::string>{{"sys.fx", "s"}});
    EXPECT_EQ(Preprocess("#include <sys.fx>", &messages, &sys), "s");
}

TEST(HlslPreprocessorTest, RecordsIncludedFilesForTheSourceHash) {
    HlslTest::TableIncludes includes(HlslTest::IncludeFiles());
    Diagnostics d;
    Preprocessor p(d, &includes);
    p.Run("effect.fx", HlslTest::GeneratedEffect());
    ASSERT_EQ(p.Includes().size(), 5u);
    EXPECT_EQ(p.Includes()[0].name, "../include/Definitions.fx");
    EXPECT_EQ(p.Includes()[4].name, "../include/ShiftColor.fx");
    EXPECT_EQ(p.Includes()[4].content, HlslTest::IncludeFiles()["../include/ShiftColor.fx"]);
}

TEST(HlslPreprocessorTest, CallerMacrosApply) {
    Diagnostics d;
    Preprocessor p(d, nullptr);
    p.Define({"QUALITY", "2"});
    std::vector<Hlsl::Token> out = p.Run("m.fx", "#if QUALITY > 1\nhigh\n#endif");
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0].text, "high");
}

}  // namespace
