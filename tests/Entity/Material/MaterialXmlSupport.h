// Shared by the XML material tests: a document parsed from fixture text, a shader compiler that
// records what it saw of each material, and a description of a material's every field for
// comparing two materials.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "Core/TiXmlDocument.h"
#include "Core/XmlElements.h"
#include "Entity/Material/IZelShaderCompiler.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"

namespace ZelTest {

// A document parsed in place from a copy of the text.
class ParsedXml {
public:
    explicit ParsedXml(const std::string& text) : text_(text.begin(), text.end()) {
        text_.push_back('\0');
        document_.Parse(text_.data());
    }
    Zel::TiXmlDocument& Document() { return document_; }
    // The first element of the path from the root ("SHADERLIB/SHADER").
    const Zel::XmlNode* Find(const std::vector<const char*>& path) {
        const Zel::XmlNode* node = &document_;
        for (const char* name : path) node = Zel::XmlChildElementByName(node, name);
        return node;
    }

private:
    std::vector<char> text_;
    Zel::TiXmlDocument document_;
};

// Every field a library load sets, as text.
inline std::string Describe(const Zel::Material& m) {
    std::string out;
    char line[512];
    std::snprintf(line, sizeof line, "%s flags=%u light=%u words=%u/%u/%u/%u shin=%g gloss=%g\n",
                  m.GetName().c_str(), m.flags, m.lightingMode, m.firstSettingWord, m.techniqueCode,
                  m.secondSettingWord, m.thirdSettingWord, m.shininess, m.gloss);
    out += line;
    for (const Zel::Pass* p : m.GetPasses()) {
        const Zel::RenderState& s = p->renderState;
        std::snprintf(line, sizeof line,
                      " pass %u vf=%x vp=%u skin=%u pf=%x sort=%d shin=%g gloss=%g cull=%u "
                      "cmp=%u/%u blend=%u/%u ref=%u sf=%x mask=%u amb=%g,%g,%g dif=%g,%g,%g\n",
                      p->passIndex, p->vertexFlags, p->vertexProgramKind, p->skinningType,
                      p->passFlags, p->sortKey, p->shininess, p->gloss, s.cullMode, s.depthFunc,
                      s.alphaFunc, s.srcBlend, s.destBlend, s.alphaRef, s.flags, s.colourWriteMask,
                      p->ambient[0], p->ambient[1], p->ambient[2], p->diffuse[0], p->diffuse[1],
                      p->diffuse[2]);
        out += line;
        for (const Zel::TextureStage& t : s.stages) {
            std::snprintf(line, sizeof line,
                          "  stage %u name=%s tex=%d env=%u gen=%u flags=%x filter=%u addr=%u "
                          "const=%g,%g,%g,%g mods=%zu\n",
                          t.stageSlot, t.textureName.c_str(), t.GetTexture() != nullptr, t.envMode,
                          t.texCoordGen, t.flags, t.filter, t.addressU, t.constantColour[0],
                          t.constantColour[1], t.constantColour[2], t.constantColour[3],
                          t.texCoordMods.size());
            out += line;
        }
    }
    return out;
}

// Answers one effect name and keeps, per material name, the material as the compiler saw it.
class RecordingCompiler final : public Zel::IZelShaderCompiler {
public:
    explicit RecordingCompiler(std::string effect) : effect_(std::move(effect)) {}
    const std::string& Generate(Zel::Material* material, bool) override {
        seen[material->GetName()] = Describe(*material);
        return effect_;
    }
    std::map<std::string, std::string> seen;

private:
    std::string effect_;
};

}  // namespace ZelTest
