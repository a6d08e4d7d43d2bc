// An XML document read whole into one buffer and parsed in place with rapidxml. The node tree
// points into the buffer, so both live as long as the document. Files are read through the
// virtual file system when it has them, else from disk.
//
// Parse errors are reported on standard output as "rapidXml Error:<text> \n" (the parse's own
// text, e.g. "expected <") and make the load fail; the document then holds whatever the failed
// parse left. A new parse first detaches every node of the previous tree.
//
// A document is used by one thread at a time.
#pragma once

#include <rapidxml/rapidxml.hpp>

#include <vector>

namespace Zel {

using XmlNode = rapidxml::xml_node<char>;
using XmlAttribute = rapidxml::xml_attribute<char>;

class TiXmlDocument : public rapidxml::xml_document<char> {
public:
    // Elements may nest this deep; a deeper file is refused before it is parsed, so that the
    // recursive parse cannot exhaust the stack.
    static constexpr int kMaxNestingDepth = 256;

    TiXmlDocument() = default;
    ~TiXmlDocument() = default;
    TiXmlDocument(const TiXmlDocument&) = delete;
    TiXmlDocument& operator=(const TiXmlDocument&) = delete;

    // LoadFromVfs, else the file from disk (through the path resolver). False when neither
    // provides the file or the parse fails.
    bool LoadFile(const char* path);
    // The file through the virtual file system; false when it does not have the file, the file
    // is empty or cannot be read whole, or the parse fails.
    bool LoadFromVfs(const char* path);
    // Parses a NUL-terminated text in place; the text must outlive the document. Answers 0
    // whatever the outcome: the caller inspects the document's first element.
    int Parse(char* text);

private:
    // Parses the text in place; false (reported on standard output) on a syntax error.
    bool ParseText(char* text);
    // Takes the file's bytes as the new buffer (NUL appended) and parses them.
    bool ParseFileBytes(std::vector<char> bytes);

    // The file's bytes and a terminating NUL.
    std::vector<char> buffer_;
};

}  // namespace Zel
