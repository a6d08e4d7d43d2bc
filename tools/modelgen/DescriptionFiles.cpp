#include "modelgen/DescriptionFiles.h"

#include "modelgen/ChunkWriters.h"

namespace ZelModelGen {

namespace {

// A section line and the line that follows it, marked as one block.
void SectionLines(TextWriter& w, const std::string& name, const std::string& header,
             const std::string& next) {
    w.Enter(name);
    w.Mark(SectionKind::Block, w.Path());
    w.Line(header);
    w.Line(next);
    w.Leave();
}

void Element(TextWriter& w, const std::string& name, const std::string& text) {
    w.Enter(name);
    w.Mark(SectionKind::Block, w.Path());
    w.Line(text);
    w.Leave();
}

std::string Attr(const std::string& name, const std::string& value) {
    return " " + name + "=\"" + XmlEscape(value) + "\"";
}

void XmlDeclaration(TextWriter& w) { w.Line("<?xml version=\"1.0\" encoding=\"utf-8\"?>"); }

}  // namespace

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

WrittenFile WriteDmlFile(const DmlDesc& d, const TextOptions& options, const FaultPlan& faults) {
    TextWriter w(faults, options);
    for (const std::string& c : d.comments) w.Line("# " + c);
    if (d.meshFile) SectionLines(w, "GEOMETRY MESH", "[GEOMETRY MESH]", *d.meshFile);
    for (std::size_t i = 0; i < d.materialFiles.size(); ++i)
        SectionLines(w, Indexed("SHADER", i), "[SHADER]", d.materialFiles[i]);
    for (const std::string& line : d.extraLines) w.Line(line);
    return w.FinishText();
}

WrittenFile WriteChrFile(const ChrDesc& d, const TextOptions& options, const FaultPlan& faults) {
    TextWriter w(faults, options);
    for (const std::string& c : d.comments) w.Line("// " + c);
    if (d.skeletonFile) SectionLines(w, "SKELETON", "[SKELETON]", *d.skeletonFile);
    if (d.skinFile) SectionLines(w, "SKIN", "[SKIN]", *d.skinFile);
    for (std::size_t i = 0; i < d.materialFiles.size(); ++i)
        SectionLines(w, Indexed("SHADER", i), "[SHADER]", d.materialFiles[i]);
    for (std::size_t i = 0; i < d.animations.size(); ++i)
        SectionLines(w, Indexed("ANIMATION", i), "[ANIMATION]",
                d.animations[i].first + " " + d.animations[i].second);
    for (const std::string& line : d.extraLines) w.Line(line);
    return w.FinishText();
}

WrittenFile WriteEntityXmlFile(const EntityXmlDesc& d, const TextOptions& options,
                               const FaultPlan& faults) {
    TextWriter w(faults, options);
    XmlDeclaration(w);
    w.Line("<Entity>");
    if (d.geometry) Element(w, "Geometry", "\t<Geometry" + Attr("Path", *d.geometry) + "/>");
    if (d.material) Element(w, "Material", "\t<Material" + Attr("Path", *d.material) + "/>");
    if (d.skeleton) Element(w, "Skeleton", "\t<Skeleton" + Attr("Path", *d.skeleton) + "/>");
    if (d.animationElement || !d.animations.empty()) {
        w.Enter("Animation");
        w.Mark(SectionKind::Block, w.Path());
        w.Line("\t<Animation>");
        for (std::size_t i = 0; i < d.animations.size(); ++i)
            Element(w, Indexed("Entry", i),
                    "\t\t<Entry" + Attr("Name", d.animations[i].first) +
                        Attr("Path", d.animations[i].second) + "/>");
        w.Line("\t</Animation>");
        w.Leave();
    }
    w.Line("</Entity>");
    return w.FinishText();
}

WrittenFile WriteClothXmlFile(const ClothXmlDesc& d, const TextOptions& options,
                              const FaultPlan& faults) {
    TextWriter w(faults, options);
    XmlDeclaration(w);
    w.Line("<Root>");
    w.Enter("Cloth");
    w.Mark(SectionKind::Block, w.Path());
    std::string open = "\t<Cloth";
    if (d.meshFile) open += Attr("MESH", *d.meshFile);
    if (d.shader) open += Attr("SHADER", *d.shader);
    w.Line(open + ">");
    if (d.paramsElement || !d.params.empty()) {
        std::string params = "\t\t<Params";
        for (const auto& [name, value] : d.params) params += Attr(name, value);
        Element(w, "Params", params + "/>");
    }
    w.Line("\t</Cloth>");
    w.Leave();
    w.Line("</Root>");
    return w.FinishText();
}

WrittenFile WriteLevelXmlFile(const LevelXmlDesc& d, const TextOptions& options,
                              const FaultPlan& faults) {
    TextWriter w(faults, options);
    XmlDeclaration(w);
    bool entity = d.form == LevelXmlDesc::Form::Entity;
    w.Line(entity ? "<Entity>" : "<Scene>");
    if (!d.meshFile.empty())
        Element(w, entity ? "Geometry" : "Mesh",
                entity ? "\t<Geometry" + Attr("Path", d.meshFile) + "/>"
                       : "\t<Mesh" + Attr("PATH", d.meshFile) + "/>");
    if (!d.materialFile.empty())
        Element(w, entity ? "Material" : "Shader",
                entity ? "\t<Material" + Attr("Path", d.materialFile) + "/>"
                       : "\t<Shader" + Attr("PATH", d.materialFile) + "/>");
    w.Line(entity ? "</Entity>" : "</Scene>");
    return w.FinishText();
}

}  // namespace ZelModelGen
