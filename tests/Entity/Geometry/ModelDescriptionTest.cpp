// The text and XML model descriptions, written by the model fixture writer and parsed from disk.
#include <gtest/gtest.h>

#include <string>

#include "Core/CoreRootFixture.h"
#include "Entity/Geometry/GeometryDescription.h"
#include "Entity/Geometry/ModelDescriptionParser.h"
#include "Entity/Geometry/SkinDescription.h"
#include "Entity/Geometry/StaticGeometryDescription.h"
#include "modelgen/DescriptionFiles.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using namespace ZelModelGen;
using Strings = std::vector<std::string>;

class DescriptionFileTest : public ::testing::Test {
protected:
    DescriptionFileTest() : dir_(true) {}
    // Saves the file as d/<name> under the working directory and answers "d/<name>".
    std::string Save(const std::string& name, const WrittenFile& file) {
        EXPECT_TRUE(file.Save((dir_.Path() / "d" / name).string()));
        return "d/" + name;
    }
    ZelTest::TempDir dir_;
};

TEST_F(DescriptionFileTest, DmlSections) {
    const std::string longShader = "[SHADER]" + std::string(247, ' ') + "late.xml";
    struct Case {
        const char* what;
        DmlDesc desc;
        TextOptions text;
        bool ok;
        const char* mesh;
        Strings materials;
    };
    const Case cases[] = {
        {"two shaders",
         {"a.ase", {"m1.xml", "m2.xml"}, {}, {}},
         {},
         true,
         "d/a.ase",
         {"d/m1.xml", "d/m2.xml"}},
        {"LF line ends",
         {"a.ase", {"m1.xml"}, {}, {}},
         {false, false},
         true,
         "d/a.ase",
         {"d/m1.xml"}},
        {"no shader", {"a.ase", {}, {}, {}}, {}, false, "d/a.ase", {}},
        {"no mesh", {std::nullopt, {"m.xml"}, {}, {}}, {}, false, "", {"d/m.xml"}},
        {"parent and drive paths as written",
         {"../x/a.ase", {"c:/lib/m.xml"}, {}, {}},
         {},
         true,
         "../x/a.ase",
         {"c:/lib/m.xml"}},
        {"section with a comment mark is skipped",
         {"a.ase", {"m.xml"}, {"note"}, {"[SHADER] # off", "skip.xml"}},
         {},
         true,
         "d/a.ase",
         {"d/m.xml"}},
        {"later mesh section replaces, tokens end at blanks",
         {"a.ase", {"m.xml"}, {}, {"[GEOMETRY MESH]", "  b.ase trailing words"}},
         {},
         true,
         "d/b.ase",
         {"d/m.xml"}},
        {"a long line goes on as the next line",
         {"a.ase", {}, {}, {longShader}},
         {},
         true,
         "d/a.ase",
         {"d/late.xml"}},
        {"section on the last line", {"a.ase", {}, {}, {"[SHADER]"}}, {}, false, "d/a.ase", {}},
    };
    for (const Case& c : cases) {
        const std::string path = Save("a.dml", WriteDmlFile(c.desc, c.text));
        Zel::GeometryDescription d;
        EXPECT_EQ(Zel::ParseDmlDescription(path, d), c.ok) << c.what;
        EXPECT_EQ(d.meshFile, c.mesh) << c.what;
        EXPECT_EQ(d.materialFiles, c.materials) << c.what;
    }
}

TEST_F(DescriptionFileTest, ChrSections) {
    ChrDesc full;
    full.skeletonFile = "s.ase";
    full.skinFile = "k.ase";
    full.materialFiles = {"mat.mtl", "../shared/lib.txt"};
    full.animations = {{"walk", "w.ase"}, {"run", "r.ase"}, {"walk", "w2.ase"}};
    full.comments = {"made by hand [SKELETON]"};

    ZelTest::LogCapture log;
    Zel::SkinDescription d;
    ASSERT_TRUE(Zel::ParseChrDescription(Save("a.chr", WriteChrFile(full)), d));
    EXPECT_EQ(d.skeletonFile, "d/s.ase");
    EXPECT_EQ(d.meshFile, "d/k.ase");
    EXPECT_EQ(d.materialFiles, (Strings{"d/mat.xml", "../shared/lib.xml"}));
    EXPECT_EQ(d.animations.size(), 2u);
    EXPECT_EQ(d.animations["walk"], "d/w2.ase") << "a repeated name keeps the last file";
    EXPECT_EQ(d.animations["run"], "d/r.ase");
    EXPECT_EQ(log.Records().size(), 0u);

    struct Case {
        const char* what;
        ChrDesc desc;
    };
    ChrDesc lowerCase = full;
    lowerCase.skeletonFile.reset();
    lowerCase.extraLines = {"[skeleton]", "s.ase"};
    ChrDesc commented = full;
    commented.skinFile.reset();
    commented.extraLines = {"[SKIN] // off", "k.ase"};
    ChrDesc oneToken = full;
    oneToken.animations.clear();
    oneToken.extraLines = {"[ANIMATION]", "walk"};
    const Case failing[] = {
        {"section name in other letter case", lowerCase},
        {"section line with a comment mark", commented},
        {"animation line without its file", oneToken},
    };
    for (const Case& c : failing) {
        Zel::SkinDescription f;
        EXPECT_FALSE(Zel::ParseChrDescription(Save("a.chr", WriteChrFile(c.desc)), f)) << c.what;
    }
}

TEST_F(DescriptionFileTest, UnopenableFiles) {
    ZelTest::LogCapture log;
    Zel::GeometryDescription g;
    Zel::SkinDescription s;
    EXPECT_FALSE(Zel::ParseDmlDescription("d/none.dml", g));
    EXPECT_EQ(log.Records().size(), 0u) << "only the chr parser logs";
    EXPECT_FALSE(Zel::ParseChrDescription("d/none.chr", s));
    EXPECT_EQ(log.Count("无法打开文件 d/none.chr"), 1);
}

TEST_F(DescriptionFileTest, DescriptionWithoutDirectoryNamesFilesBesideIt) {
    DmlDesc desc{"a.ase", {"m.xml"}, {}, {}};
    ASSERT_TRUE(WriteDmlFile(desc).Save((dir_.Path() / "top.dml").string()));
    Zel::GeometryDescription d;
    ASSERT_TRUE(Zel::ParseDmlDescription("top.dml", d));
    EXPECT_EQ(d.meshFile, "a.ase");
    EXPECT_EQ(d.materialFiles, Strings{"m.xml"});
}

// The XML forms load through the XML manager of a fresh Globals.
class XmlDescriptionTest : public ZelTest::CoreRootTest {
protected:
    std::string Save(const std::string& name, const WrittenFile& file) {
        EXPECT_TRUE(file.Save((dir_.Path() / "d" / name).string()));
        return "d/" + name;
    }
};

TEST_F(XmlDescriptionTest, EntityForm) {
    Zel::GeometryDescription d;
    const std::string path = Save("a.xml", WriteEntityXmlFile({"a.ase", "m.xml", {}, false, {}}));
    ASSERT_TRUE(Zel::ParseXmlDescription(path, d));
    EXPECT_EQ(d.sourceFile, path);
    EXPECT_EQ(d.meshFile, "d/a.ase");
    EXPECT_EQ(d.materialFiles, Strings{"d/m.xml"});

    Zel::GeometryDescription missing;
    EXPECT_FALSE(Zel::ParseXmlDescription(
        Save("b.xml", WriteEntityXmlFile({"a.ase", std::nullopt, {}, false, {}})), missing));
    Zel::GeometryDescription absent;
    EXPECT_FALSE(Zel::ParseXmlDescription("d/none.xml", absent));
}

TEST_F(XmlDescriptionTest, SkinnedEntityForm) {
    EntityXmlDesc desc{"k.ase", "m.xml", "s.ase", true, {{"walk", "w.ase"}, {"", "x.ase"}}};
    WrittenFile file = WriteEntityXmlFile(desc);
    // An entry lacking its Path is skipped, as is one with an empty name that has both.
    std::string text = file.Text();
    text.insert(text.find("</Animation>"), "<Entry Name=\"run\"/>");
    file.bytes.assign(text.begin(), text.end());
    Zel::SkinDescription d;
    ASSERT_TRUE(Zel::ParseSkinXmlDescription(Save("s.xml", file), d));
    EXPECT_EQ(d.meshFile, "d/k.ase");
    EXPECT_EQ(d.skeletonFile, "d/s.ase");
    EXPECT_EQ(d.materialFiles, Strings{"d/m.xml"});
    EXPECT_EQ(d.animations.size(), 2u);
    EXPECT_EQ(d.animations["walk"], "d/w.ase");
    EXPECT_EQ(d.animations[""], "d/x.ase");
    EXPECT_EQ(d.animations.count("run"), 0u);

    EntityXmlDesc noAnimation{"k.ase", "m.xml", "s.ase", false, {}};
    Zel::SkinDescription f;
    EXPECT_FALSE(Zel::ParseSkinXmlDescription(Save("n.xml", WriteEntityXmlFile(noAnimation)), f));
}

TEST_F(XmlDescriptionTest, LevelForms) {
    struct Case {
        const char* what;
        LevelXmlDesc desc;
        bool ok;
    };
    const Case cases[] = {
        {"scene form", {LevelXmlDesc::Form::Scene, "grid.mesh", "grid_mat.xml"}, true},
        {"entity form", {LevelXmlDesc::Form::Entity, "grid.mesh", "grid_mat.xml"}, true},
        {"scene without shader", {LevelXmlDesc::Form::Scene, "grid.mesh", ""}, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        Zel::StaticGeometryDescription d;
        const std::string path =
            Save("l" + std::to_string(n++) + ".xml", WriteLevelXmlFile(c.desc));
        EXPECT_EQ(Zel::ParseStaticXmlDescription(path, d), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(d.meshFile, "d/grid.mesh") << c.what;
            EXPECT_EQ(d.materialFile, "d/grid_mat.xml") << c.what;
        }
    }
    const WrittenFile scene = WriteLevelXmlFile({LevelXmlDesc::Form::Scene, "g.mesh", "m.xml"});
    Zel::StaticGeometryDescription d;
    EXPECT_FALSE(Zel::ParseStaticXmlDescription(Save("level.XML", scene), d))
        << "only names holding \".xml\"";
}

TEST_F(XmlDescriptionTest, FormsByName) {
    const std::string dml = Save("a.DML", WriteDmlFile({"a.ase", {"m.xml"}, {}, {}}));
    const std::string anm = Save("a.anm", WriteDmlFile({"a.ase", {"m.xml"}, {}, {}}));
    const std::string xml = Save("a.xml", WriteEntityXmlFile({"x.ase", "m.xml", {}, false, {}}));
    ChrDesc chr{"s.ase", "k.ase", {"m.mtl"}, {{"walk", "w.ase"}}, {}, {}};
    const std::string chrPath = Save("a.chr", WriteChrFile(chr));
    const std::string skinXml =
        Save("s.xml", WriteEntityXmlFile({"k.ase", "m.xml", "s.ase", true, {{"walk", "w.ase"}}}));

    Zel::GeometryDescription g;
    EXPECT_TRUE(Zel::ParseGeometryDescription(dml, g));
    EXPECT_TRUE(Zel::ParseGeometryDescription(xml, g));
    EXPECT_FALSE(Zel::ParseGeometryDescription(anm, g));
    EXPECT_TRUE(Zel::ParseDeformedDescription(anm, g));
    EXPECT_TRUE(Zel::ParseDeformedDescription(xml, g));
    EXPECT_FALSE(Zel::ParseDeformedDescription(dml, g));
    Zel::SkinDescription s;
    EXPECT_TRUE(Zel::ParseSkinDescription(chrPath, s));
    EXPECT_TRUE(Zel::ParseSkinDescription(skinXml, s));
    EXPECT_FALSE(Zel::ParseSkinDescription(dml, s));
}

}  // namespace
