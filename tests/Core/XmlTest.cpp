#include <gtest/gtest.h>

#include <string>

#include "Core/XMLManager.h"
#include "Core/XMLResource.h"
#include "Core/XmlElements.h"
#include "Platform/Vfs/Vfs.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using Zel::TiXmlDocument;
using Zel::XmlNode;
using Zel::XMLResource;

const char kLibrary[] =
    "<?xml version=\"1.0\"?>\n"
    "<!-- materials -->\n"
    "<Library name=\"lib\" empty=\"\">\n"
    "  <Materials/>\n"
    "  <Material id=\"1\">stone &amp; moss</Material>\n"
    "  <MaterialX id=\"x\"/>\n"
    "  <Material id=\"2\"/>\n"
    "</Library>\n";

class XmlTest : public ::testing::Test {
protected:
    ~XmlTest() override { VFS::UnmountAll(); }

    XMLResource* Load(const std::string& path) {
        return static_cast<XMLResource*>(manager_.Load(path));
    }

    ZelTest::TempDir dir_;
    Zel::XMLManager manager_;
};

// The same document read from disk, from the memory file system and with a byte-order mark.
TEST_F(XmlTest, LoadsFromDiskFromTheVirtualFileSystemAndPastAByteOrderMark) {
    const std::string onDisk = dir_.Write("lib.xml", kLibrary);
    VFS::MountMemoryFile("mounted/lib.xml", kLibrary, sizeof kLibrary - 1);
    std::string withMark = "\xEF\xBB\xBF";
    withMark.append(kLibrary, sizeof kLibrary - 1);
    const std::string bom = dir_.Write("bom.xml", withMark);
    for (const std::string& path : {onDisk, std::string("Mounted\\LIB.xml"), bom}) {
        XMLResource* resource = Load(path);
        ASSERT_TRUE(resource->IsLoadSucceeded()) << path;
        TiXmlDocument* document = Zel::GetDocument(resource);
        const XmlNode* library = Zel::XmlChildElementByName(document, "Library");
        ASSERT_NE(library, nullptr) << path;
        EXPECT_STREQ(Zel::XmlAttributeValue(library, "name"), "lib");
        EXPECT_STREQ(Zel::XmlAttributeValue(library, "empty"), "");
        EXPECT_EQ(Zel::XmlAttributeValue(library, "missing"), nullptr);

        // Whole names only: "Materials" and "MaterialX" are not "Material".
        const XmlNode* first = Zel::XmlChildElementByName(library, "Material");
        ASSERT_NE(first, nullptr);
        EXPECT_STREQ(Zel::XmlAttributeValue(first, "id"), "1");
        EXPECT_STREQ(Zel::XmlElementText(first), "stone & moss");
        const XmlNode* second = Zel::XmlNextSiblingElementByName(first, "Material");
        ASSERT_NE(second, nullptr);
        EXPECT_STREQ(Zel::XmlAttributeValue(second, "id"), "2");
        EXPECT_EQ(Zel::XmlNextElementByName(second, "Material"), nullptr);
        EXPECT_EQ(resource->GetSizeField(), 0u);
    }
    EXPECT_EQ(manager_.GetActiveBytes(), 0u);
}

TEST_F(XmlTest, ParseErrorIsPrintedAndTheFailureLogged) {
    const std::string path = dir_.Write("broken.xml", "  oops <a/>");
    ZelTest::LogCapture log;
    testing::internal::CaptureStdout();
    XMLResource* resource = Load(path);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "rapidXml Error:expected < \n");
    EXPECT_TRUE(resource->IsLoaded());
    EXPECT_FALSE(resource->IsLoadSucceeded());
    EXPECT_EQ(log.CountKind(Zel::LOG_ENGINE_INIT, "Read xml file failed: " + path), 1);
}

TEST_F(XmlTest, MissingFileFailsCleanly) {
    ZelTest::LogCapture log;
    testing::internal::CaptureStdout();
    XMLResource* resource = Load("no/such/file.xml");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(resource->IsLoadSucceeded());
    EXPECT_EQ(log.Count("Read xml file failed: no/such/file.xml"), 1);
    // Searching the missing document finds nothing, and nothing breaks.
    EXPECT_EQ(Zel::XmlChildElementByName(Zel::GetDocument(resource), "Library"), nullptr);
    EXPECT_EQ(Zel::XmlChildElementByName(Zel::GetDocument(nullptr), "Library"), nullptr);
    EXPECT_EQ(Zel::XmlChildElementByName(nullptr, "Library"), nullptr);
}

TEST_F(XmlTest, EmptyFileInTheVirtualFileSystemFallsBackToTheDisk) {
    const std::string path = dir_.Write("both.xml", "<OnDisk/>");
    VFS::MountMemoryFile(path, "", 0);
    TiXmlDocument document;
    EXPECT_FALSE(document.LoadFromVfs(path.c_str()));
    ASSERT_TRUE(document.LoadFile(path.c_str()));
    EXPECT_NE(Zel::XmlChildElementByName(&document, "OnDisk"), nullptr);
    EXPECT_FALSE(document.LoadFile(dir_.Path().string().c_str()));  // a directory
}

TEST_F(XmlTest, DeepNestingIsRefusedBeforeTheParse) {
    std::string deep;
    for (int i = 0; i < TiXmlDocument::kMaxNestingDepth + 1; ++i) deep += "<a x=\"/>\">";
    std::string shallow;
    for (int i = 0; i < 20000; ++i) shallow += "<a/><!-- <b> --><![CDATA[<c>]]>";
    TiXmlDocument document;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(document.LoadFile(dir_.Write("deep.xml", deep).c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "rapidXml Error:elements nested too deep \n");
    EXPECT_TRUE(document.LoadFile(dir_.Write("shallow.xml", shallow).c_str()));
}

TEST_F(XmlTest, SharedDocumentStaysLoadedWhileReferencedAndIsFreedWithItsManager) {
    const std::string path = dir_.Write("lib.xml", kLibrary);
    XMLResource* resource = Load(path);
    EXPECT_EQ(manager_.Load(path), resource);
    resource->AddRef();
    resource->Unload();  // another user holds it
    EXPECT_TRUE(resource->IsLoaded());
    EXPECT_NE(resource->GetDocumentPointer(), nullptr);
    manager_.Collect();
    EXPECT_EQ(manager_.GetActiveCount(), 1u);
    // The manager goes while the reference is still held: the document goes with the resource
    // (the leak checker watches).
    {
        Zel::XMLManager other;
        static_cast<XMLResource*>(other.Load(path))->AddRef();
    }
    resource->DecRef();
    resource->Unload();
    EXPECT_FALSE(resource->IsLoaded());
    EXPECT_EQ(resource->GetDocumentPointer(), nullptr);
}

TEST_F(XmlTest, ManagerMakesXmlResourcesOfItsOwnType) {
    Zel::CResource* resource = manager_.Create("A.XML");
    EXPECT_EQ(resource->GetClassId(), Zel::ClassId::XMLResource);
    EXPECT_STREQ(resource->GetClassName(), "ZelXMLResource");
    EXPECT_EQ(resource->GetGroup(), "XML");
    EXPECT_EQ(manager_.GetTypeName(), "XML");
    EXPECT_EQ(manager_.GetClassId(), Zel::ClassId::CResourceManager);
    EXPECT_FALSE(resource->IsLoaded());
}

}  // namespace
