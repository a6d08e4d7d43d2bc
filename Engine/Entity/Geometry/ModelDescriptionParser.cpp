#include "Entity/Geometry/ModelDescriptionParser.h"

#include <cctype>
#include <cstring>
#include <functional>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/SharedPtr.h"
#include "Core/XMLManager.h"
#include "Core/XMLResource.h"
#include "Core/XmlElements.h"
#include "Entity/Geometry/GeometryDescription.h"
#include "Entity/Geometry/SkinDescription.h"
#include "Entity/Geometry/StaticGeometryDescription.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {
namespace {

// Line buffers of the two text forms, terminator included.
constexpr std::size_t kDmlLineBuffer = 256;
constexpr std::size_t kChrLineBuffer = 255;
constexpr std::size_t kTokenMax = 255;

// Hands out lines the way a fixed buffer of `limit` bytes receives them: at most limit - 1
// characters, ending after a line feed when one comes first. The line is cut at an embedded NUL
// (the formats are C text) and "\r" and "\n" are dropped from its end.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(std::size_t limit, std::string& line) {
        if (position_ >= text_.size())
            return false;
        std::size_t end = position_;
        while (end < text_.size() && end - position_ < limit - 1) {
            if (text_[end++] == '\n')
                break;
        }
        line.assign(text_.substr(position_, end - position_));
        position_ = end;
        if (const std::size_t nul = line.find('\0'); nul != std::string::npos)
            line.resize(nul);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        return true;
    }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The whitespace-separated tokens of a line, each cut to kTokenMax characters (a longer run goes
// on as the next token, as a width-limited scan would).
std::vector<std::string> Tokens(const std::string& line, std::size_t wanted) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (tokens.size() < wanted) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i == line.size())
            break;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i]) && i - start < kTokenMax) ++i;
        tokens.emplace_back(line, start, i - start);
    }
    return tokens;
}

std::string FirstToken(const std::string& line) {
    std::vector<std::string> tokens = Tokens(line, 1);
    return tokens.empty() ? std::string() : tokens[0];
}

bool ReadTextFile(const std::string& path, std::string& text) {
    FILE* file = fopen_resolved(path.c_str(), "r");
    if (!file)
        return false;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
    return true;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// The value of the element's attribute, or null when the element or the attribute is missing.
const char* ChildAttribute(const XmlNode* parent, const char* element, const char* attribute) {
    return XmlAttributeValue(XmlChildElementByName(parent, element), attribute);
}

// The name holds the extension in all lower or all upper case.
bool NameHas(const std::string& path, const char* lower, const char* upper) {
    return Contains(path, lower) || Contains(path, upper);
}

// ".xml" in the name goes to the XML parser, the text form's extension to its parser.
template <class Description>
bool ParseByName(const std::string& path, Description& description,
                 bool (*xml)(const std::string&, Description&), const char* lower,
                 const char* upper, bool (*text)(const std::string&, Description&)) {
    if (NameHas(path, ".xml", ".XML"))
        return xml(path, description);
    if (NameHas(path, lower, upper))
        return text(path, description);
    return false;
}

}  // namespace

bool WithXmlDocument(const std::string& path,
                     const std::function<bool(const TiXmlDocument&)>& read) {
    XMLManager* manager = Globals::Find(&Globals::GetXMLManager);
    if (!manager)
        return false;
    SharedPtr<XMLResource> resource(dynamic_cast<XMLResource*>(manager->Load(path)));
    if (!resource || !resource->IsLoadSucceeded() || !resource->GetDocumentPointer())
        return false;
    return read(*resource->GetDocumentPointer());
}

bool ParseDmlText(std::string_view text, const std::string& directory,
                  GeometryDescription& description) {
    LineReader lines(text);
    std::string line, next;
    bool meshSeen = false, shaderSeen = false;
    while (lines.Next(kDmlLineBuffer, line)) {
        if (Contains(line, "#"))
            continue;
        const bool mesh = Contains(line, "[GEOMETRY MESH]");
        if (!mesh && !Contains(line, "[SHADER]"))
            continue;
        if (!lines.Next(kDmlLineBuffer, next))
            break;
        const std::string token = FirstToken(next);
        if (token.empty())
            continue;
        if (mesh) {
            description.meshFile = JoinPathWithSlash(directory, token);
            meshSeen = true;
        } else {
            description.materialFiles.push_back(JoinPathWithSlash(directory, token));
            shaderSeen = true;
        }
    }
    return meshSeen && shaderSeen;
}

bool ParseChrText(std::string_view text, const std::string& directory,
                  SkinDescription& description) {
    LineReader lines(text);
    std::string line, next;
    bool skeleton = false, skin = false, shader = false, animation = false;
    while (lines.Next(kChrLineBuffer, line)) {
        if (Contains(line, "#") || Contains(line, "//"))
            continue;
        const std::string section = FirstToken(line);
        const bool isAnimation = section == "[ANIMATION]";
        if (section != "[SKELETON]" && section != "[SKIN]" && section != "[SHADER]" && !isAnimation)
            continue;
        if (!lines.Next(kChrLineBuffer, next))
            break;
        const std::vector<std::string> tokens = Tokens(next, isAnimation ? 2 : 1);
        if (tokens.size() < (isAnimation ? 2u : 1u))
            continue;
        if (section == "[SKELETON]") {
            description.skeletonFile = JoinPathWithSlash(directory, tokens[0]);
            skeleton = true;
        } else if (section == "[SKIN]") {
            description.meshFile = JoinPathWithSlash(directory, tokens[0]);
            skin = true;
        } else if (section == "[SHADER]") {
            description.materialFiles.push_back(
                JoinPathWithSlash(directory, ReplaceExtension(tokens[0], ".xml")));
            shader = true;
        } else {
            description.animations[tokens[0]] = JoinPathWithSlash(directory, tokens[1]);
            animation = true;
        }
    }
    return skeleton && skin && shader && animation;
}

bool ReadEntityDocument(const TiXmlDocument& document, const std::string& directory,
                        GeometryDescription& description) {
    const XmlNode* entity = XmlChildElementByName(&document, "Entity");
    const char* geometry = ChildAttribute(entity, "Geometry", "Path");
    const char* material = ChildAttribute(entity, "Material", "Path");
    if (!geometry || !material)
        return false;
    description.meshFile = JoinPathWithSlash(directory, geometry);
    description.materialFiles.push_back(JoinPathWithSlash(directory, material));
    return true;
}

bool ReadSkinEntityDocument(const TiXmlDocument& document, const std::string& directory,
                            SkinDescription& description) {
    const XmlNode* entity = XmlChildElementByName(&document, "Entity");
    const char* geometry = ChildAttribute(entity, "Geometry", "Path");
    const char* material = ChildAttribute(entity, "Material", "Path");
    const char* skeleton = ChildAttribute(entity, "Skeleton", "Path");
    const XmlNode* animation = XmlChildElementByName(entity, "Animation");
    if (!geometry || !material || !skeleton || !animation)
        return false;
    description.meshFile = JoinPathWithSlash(directory, geometry);
    description.materialFiles.push_back(JoinPathWithSlash(directory, material));
    description.skeletonFile = JoinPathWithSlash(directory, skeleton);
    for (const XmlNode* entry = XmlChildElementByName(animation, "Entry"); entry;
         entry = XmlNextSiblingElementByName(entry, "Entry")) {
        const char* name = XmlAttributeValue(entry, "Name");
        const char* path = XmlAttributeValue(entry, "Path");
        if (name && path)
            description.animations[name] = JoinPathWithSlash(directory, path);
    }
    return true;
}

bool ReadStaticDocument(const TiXmlDocument& document, const std::string& directory,
                        StaticGeometryDescription& description) {
    const XmlNode* entity = XmlChildElementByName(&document, "Entity");
    const char* mesh = ChildAttribute(entity, "Geometry", "Path");
    const char* material = ChildAttribute(entity, "Material", "Path");
    if (!mesh || !material) {
        const XmlNode* scene = XmlChildElementByName(&document, "Scene");
        mesh = ChildAttribute(scene, "Mesh", "PATH");
        material = ChildAttribute(scene, "Shader", "PATH");
        if (!mesh || !material)
            return false;
    }
    description.meshFile = JoinPathWithSlash(directory, mesh);
    description.materialFile = JoinPathWithSlash(directory, material);
    return true;
}

bool ParseDmlDescription(const std::string& path, GeometryDescription& description) {
    std::string text;
    return ReadTextFile(path, text) && ParseDmlText(text, GetDirectory(path), description);
}

bool ParseChrDescription(const std::string& path, SkinDescription& description) {
    std::string text;
    if (!ReadTextFile(path, text)) {
        LogTyped(LOG_ENGINE_INIT, "无法打开文件 %s", path.c_str());
        return false;
    }
    return ParseChrText(text, GetDirectory(path), description);
}

bool ParseXmlDescription(const std::string& path, GeometryDescription& description) {
    description.sourceFile = path;
    return WithXmlDocument(path, [&](const TiXmlDocument& document) {
        return ReadEntityDocument(document, GetDirectory(path), description);
    });
}

bool ParseSkinXmlDescription(const std::string& path, SkinDescription& description) {
    description.sourceFile = path;
    return WithXmlDocument(path, [&](const TiXmlDocument& document) {
        return ReadSkinEntityDocument(document, GetDirectory(path), description);
    });
}

bool ParseStaticXmlDescription(const std::string& path, StaticGeometryDescription& description) {
    if (!Contains(path, ".xml"))
        return false;
    description.sourceFile = path;
    return WithXmlDocument(path, [&](const TiXmlDocument& document) {
        return ReadStaticDocument(document, GetDirectory(path), description);
    });
}

bool ParseGeometryDescription(const std::string& path, GeometryDescription& description) {
    return ParseByName(path, description, &ParseXmlDescription, ".dml", ".DML",
                       &ParseDmlDescription);
}

bool ParseSkinDescription(const std::string& path, SkinDescription& description) {
    return ParseByName(path, description, &ParseSkinXmlDescription, ".chr", ".CHR",
                       &ParseChrDescription);
}

bool ParseDeformedDescription(const std::string& path, GeometryDescription& description) {
    return ParseByName(path, description, &ParseXmlDescription, ".anm", ".ANM",
                       &ParseDmlDescription);
}

}  // namespace Zel
