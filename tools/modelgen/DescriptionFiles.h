// The small description files that name a model's sources: the sectioned text forms ".dml" (and
// ".anm") and ".chr", and the XML forms of plain, skinned, level and cloth geometry. A missing
// value leaves its section or element out, which is how a test writes an incomplete description.
// Paths: one block per section or element, named after it ("GEOMETRY MESH", "SHADERn", "Geometry",
// ...).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "modelgen/FaultPlan.h"
#include "modelgen/LevelDescription.h"
#include "modelgen/TextWriter.h"
#include "modelgen/WrittenFile.h"

namespace ZelModelGen {

// [GEOMETRY MESH] with the mesh file on the next line, one [SHADER] section per material file.
struct DmlDesc {
    std::optional<std::string> meshFile;
    std::vector<std::string> materialFiles;
    std::vector<std::string> comments;    // "# ..." lines written first
    std::vector<std::string> extraLines;  // written as they are at the end
};

// [SKELETON], [SKIN], one [SHADER] per material file, one [ANIMATION] per animation ("name file").
struct ChrDesc {
    std::optional<std::string> skeletonFile;
    std::optional<std::string> skinFile;
    std::vector<std::string> materialFiles;
    std::vector<std::pair<std::string, std::string>> animations;
    std::vector<std::string> comments;  // "// ..." lines written first
    std::vector<std::string> extraLines;
};

// <Entity> with <Geometry Path>, <Material Path> and, for a skinned model, <Skeleton Path> and
// <Animation> holding <Entry Name Path> elements.
struct EntityXmlDesc {
    std::optional<std::string> geometry;
    std::optional<std::string> material;
    std::optional<std::string> skeleton;
    bool animationElement = false;  // writes <Animation> even without entries
    std::vector<std::pair<std::string, std::string>> animations;
};

// A cloth description: <Root> holding <Cloth MESH SHADER> with an optional <Params> carrying the
// named parameters ("BENDING", "DAMPING", ... "WEIGHTSCALE") as attributes.
struct ClothXmlDesc {
    std::optional<std::string> meshFile;
    std::optional<std::string> shader;
    bool paramsElement = false;  // writes <Params> even without parameters
    std::vector<std::pair<std::string, std::string>> params;
};

WrittenFile WriteDmlFile(const DmlDesc& d, const TextOptions& options = TextOptions(),
                         const FaultPlan& faults = FaultPlan());
WrittenFile WriteChrFile(const ChrDesc& d, const TextOptions& options = TextOptions(),
                         const FaultPlan& faults = FaultPlan());
WrittenFile WriteEntityXmlFile(const EntityXmlDesc& d, const TextOptions& options = TextOptions(),
                               const FaultPlan& faults = FaultPlan());
WrittenFile WriteLevelXmlFile(const LevelXmlDesc& d, const TextOptions& options = TextOptions(),
                              const FaultPlan& faults = FaultPlan());

WrittenFile WriteClothXmlFile(const ClothXmlDesc& d, const TextOptions& options = TextOptions(),
                              const FaultPlan& faults = FaultPlan());

// Text with &, <, > and " escaped for an XML attribute.
std::string XmlEscape(const std::string& text);

}  // namespace ZelModelGen
