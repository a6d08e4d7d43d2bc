#include "modelgen/Recipes.h"

#include <filesystem>
#include <stdexcept>

#include "modelgen/ActorRecipe.h"
#include "modelgen/AseFile.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/Dm2File.h"
#include "modelgen/LevelMeshFile.h"
#include "modelgen/ModelFiles.h"

namespace ZelModelGen {

namespace {

std::vector<RecipeFile> Cube(const RecipeOptions& o) {
    GeometryDesc g = CubeGeometry(o);
    DmlDesc dml;
    dml.comments = {"cube model"};
    dml.meshFile = "cube.ase";
    dml.materialFiles = g.materialFiles;
    return {{"cube.dm3", WriteGeometryFile(g)},
            {"cube.dm2", WriteDm2File(g)},
            {"cube.ase", WriteAseFile(CubeAseScene(g), o.text)},
            {"cube.dml", WriteDmlFile(dml, o.text)}};
}

std::vector<RecipeFile> Strip(const RecipeOptions& o) {
    MeshDesc ribbon = MakeStripMesh();
    GeometryDesc g;
    g.parts.push_back(ribbon);
    g.materialFiles.push_back("strip_mat.xml");
    DmlDesc dml;
    dml.meshFile = "strip.ase";
    dml.materialFiles = g.materialFiles;
    return {{"strip.dm3", WriteGeometryFile(g)},
            {"strip.ase", WriteAseFile(StripAseScene(ribbon), o.text)},
            {"strip.dml", WriteDmlFile(dml, o.text)}};
}

std::vector<RecipeFile> Level(const RecipeOptions& o) {
    LevelXmlDesc xml;
    xml.meshFile = "grid.mesh";
    xml.materialFile = "grid_mat.xml";
    return {{"grid.mesh", WriteLevelMeshFile(LevelGrid(o))},
            {"grid.xml", WriteLevelXmlFile(xml, o.text)}};
}

std::vector<RecipeFile> Skinned(const RecipeOptions& o) {
    SkinnedGeometryDesc model = SkinnedModel();
    ChrDesc chr;
    chr.comments = {"skinned model"};
    chr.skeletonFile = "skinned_skeleton.ase";
    chr.skinFile = "skinned_skin.ase";
    chr.materialFiles = model.geometry.materialFiles;
    chr.animations = {{"walk", "skinned_walk.ase"}};
    return {{"skinned.ch3", WriteSkinnedGeometryFile(model)},
            {"skinned_walk.at6", WritePlainActionFile(PlainActionOf(model.actions[0]))},
            {"skinned.chr", WriteChrFile(chr, o.text)},
            {"skinned_skeleton.ase", WriteAseFile(SkeletonAseScene(*model.skeleton), o.text)},
            {"skinned_skin.ase", WriteAseFile(SkinAseScene(model), o.text)},
            {"skinned_walk.ase", WriteAseFile(ActionAseScene(*model.skeleton, model.actions[0]), o.text)}};
}

std::vector<RecipeFile> BodyPart(const RecipeOptions&) {
    BodyPartDesc part = BodyPartModel();
    return {{"part.bp3", WriteBodyPartFile(part)},
            {"part_lod.lod", WriteLodCompanion(CompanionMeshes(part))}};
}

std::vector<RecipeFile> Morph(const RecipeOptions& o) {
    DmlDesc anm;
    anm.meshFile = "flag.ase";
    anm.materialFiles = {"flag_mat.xml"};
    return {{"morph.an3", WriteMorphGeometryFile(MorphModel())},
            {"AnmConfig.xml", AnmConfigFile("Bip01 Spine")},
            {"flag.ase", WriteAseFile(MorphAseScene(4), o.text)},
            {"flag.anm", WriteDmlFile(anm, o.text)}};
}

std::vector<RecipeFile> Cloth(const RecipeOptions& o) {
    ClothGeometryDesc cloth = ClothModel();
    ClothXmlDesc cape;
    cape.meshFile = "cape.ase";
    cape.shader = "cape_mat";
    cape.params = {{"DAMPING", "0.02"}, {"THICKNESS", "0.01"}, {"BENDING", "0.5"}};
    return {{"skirt.bp3", WriteClothGeometryFile(cloth)},
            {"skirt_lod.lod", WriteLodCompanion(CompanionMeshes(cloth))},
            {"skirt.xml", WriteClothXmlFile(ClothXml(), o.text)},
            {"skirt.ase", WriteAseFile(ClothAseScene(), o.text)},
            {"cape.ase", WriteAseFile(ClothSheetAseScene(8), o.text)},
            {"cape.xml", WriteClothXmlFile(cape, o.text)}};
}

struct Recipe {
    const char* name;
    std::vector<RecipeFile> (*make)(const RecipeOptions&);
};

const Recipe kRecipes[] = {
    {"cube", Cube},         {"strip", Strip}, {"level", Level}, {"skinned", Skinned},
    {"bodypart", BodyPart}, {"morph", Morph}, {"cloth", Cloth}, {"actor", ActorRecipeFiles},
};

}  // namespace

std::vector<std::string> RecipeNames() {
    std::vector<std::string> names;
    for (const Recipe& r : kRecipes) names.push_back(r.name);
    return names;
}

std::vector<RecipeFile> MakeRecipe(const std::string& name, const RecipeOptions& options) {
    for (const Recipe& r : kRecipes)
        if (name == r.name) return r.make(options);
    throw std::invalid_argument("no recipe named " + name);
}

bool SaveRecipe(const std::string& name, const std::string& folder, const RecipeOptions& options,
                std::vector<RecipeFile>& files, std::string& error) {
    try {
        files = MakeRecipe(name, options);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    for (const RecipeFile& f : files) {
        std::string path = (std::filesystem::path(folder) / f.name).string();
        if (!f.file.Save(path)) {
            error = "cannot write " + path;
            return false;
        }
    }
    return true;
}

}  // namespace ZelModelGen
