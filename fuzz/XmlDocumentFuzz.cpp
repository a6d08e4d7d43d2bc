// libFuzzer target over the XML document parse and the element and attribute lookups.
//
//   XmlDocumentFuzz --write-seeds=DIR   writes the seed corpus
//   XmlDocumentFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/TiXmlDocument.h"
#include "Core/XmlElements.h"
#include "fuzz/FuzzSeeds.h"

namespace {

const char* const kSeeds[] = {
    ("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Library name=\"lib\">\n"
     "  <Material id=\"1\" empty=\"\">stone &amp; moss</Material>\n  <Material id='2'/>\n"
     "</Library>\n"),
    "\xEF\xBB\xBF<Root><Child a=\"1\" b=\"&lt;&#65;&#x42;\"/><!-- note --></Root>",
    ("<!DOCTYPE model [ <!ELEMENT model (mesh)> ]>\n<model><mesh><![CDATA[<raw> data]]></mesh>"
     "</model>"),
    "<a><b><c><d x=\"/>\">text</d></c></b></a>",
    "<?pi data?><cloth><particle i=\"0\" p=\"1 2 3\"/></cloth>",
    "  oops <a/>",
    "<a><b></a>",
};

// Reads every name, value and attribute of the tree, and runs the lookups on each element.
void Walk(const Zel::XmlNode* node, int depth) {
    volatile std::size_t sum = 0;
    for (const Zel::XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        sum = sum + std::strlen(child->name()) + std::strlen(child->value());
        for (const Zel::XmlAttribute* a = child->first_attribute(); a; a = a->next_attribute())
            sum = sum + std::strlen(a->name()) + std::strlen(a->value());
        if (child->type() == rapidxml::node_element) {
            Zel::XmlChildElementByName(child, child->name());
            Zel::XmlNextElementByName(child, child->name());
            Zel::XmlAttributeValue(child, "id");
            Zel::XmlElementText(child);
        }
        if (depth < Zel::TiXmlDocument::kMaxNestingDepth + 1)
            Walk(child, depth + 1);
    }
}

void WriteSeeds(const std::filesystem::path& dir) {
    int n = 0;
    for (const char* seed : kSeeds) {
        const std::size_t length = std::strlen(seed);
        ZelFuzz::SaveSeed(dir, "xml" + std::to_string(n++),
                          std::vector<std::uint8_t>(seed, seed + length));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    ZelFuzz::SilenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    Zel::TiXmlDocument document;
    document.Parse(text.data());
    Walk(&document, 0);
    return 0;
}
