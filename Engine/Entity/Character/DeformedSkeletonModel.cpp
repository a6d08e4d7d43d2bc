#include "Entity/Character/DeformedSkeletonModel.h"

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/TiXmlDocument.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Scene/SceneManager.h"

namespace Zel {

namespace {

// The bone an "AnmConfig.xml" names; empty when the element or attribute is missing. False when
// the file cannot be read.
bool ReadMorphBone(const std::string& path, std::string& bone) {
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str()))
        return false;
    bone.clear();
    if (const XmlNode* element = document.first_node("Bone"))
        if (const XmlAttribute* name = element->first_attribute("name"))
            bone.assign(name->value(), name->value_size());
    return true;
}

// The morph file of an animation file: its extension becomes ".anm"; a name without a directory
// lies beside the model file (unless it climbs or names a drive).
std::string MorphFileOf(const std::string& actionFile, const std::string& modelFile,
                        std::string& directory) {
    std::string morph = ReplaceExtension(actionFile, ".anm");
    directory = GetDirectory(morph);
    if (directory.empty()) {
        directory = GetDirectory(modelFile);
        if (!StringContains(morph, "..") && !StringContains(morph, ":"))
            morph = JoinPathWithSlash(directory, morph);
    }
    return morph;
}

}  // namespace

DeformedSkeletonModel::~DeformedSkeletonModel() {
    ReleaseMorphers();
}

void DeformedSkeletonModel::ReleaseModel(DeformedModel* model) {
    if (!model)
        return;
    model->SetCarrier(nullptr);
    if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager))
        scene->ReleaseEntity(model);
}

void DeformedSkeletonModel::ReleaseMorphers() {
    DetachChildEntities();
    auto morphers = std::move(morphers_);
    morphers_.clear();
    for (auto& [name, records] : morphers)
        for (Morpher& record : records) ReleaseModel(record.model);
}

void DeformedSkeletonModel::ForgetMorpher(const DeformedModel* model) {
    for (auto it = morphers_.begin(); it != morphers_.end();) {
        std::erase_if(it->second, [model](const Morpher& m) { return m.model == model; });
        it = it->second.empty() ? morphers_.erase(it) : std::next(it);
    }
}

void DeformedSkeletonModel::Reset() {
    ReleaseMorphers();
    fileName_.clear();
    SkeletonModel::Reset();
}

bool DeformedSkeletonModel::LoadGeometry(const std::string& fileName) {
    fileName_ = fileName;
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && config->NoModelCreate())
        return true;
    return SkeletonModel::LoadGeometry(fileName);
}

const std::vector<DeformedSkeletonModel::Morpher>* DeformedSkeletonModel::FindMorphers(
    const std::string& animation) const {
    const auto it = morphers_.find(animation);
    return it == morphers_.end() ? nullptr : &it->second;
}

bool DeformedSkeletonModel::AttachMorpher(const std::string& morphFile,
                                          const std::string& animation, const std::string& bone) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    DeformedModel* model = scene ? scene->CreateDeformedModel() : nullptr;
    if (!model)
        return false;
    if (!model->LoadGeometry(morphFile) || !model->BuildFromGeometry()) {
        ReleaseModel(model);
        return false;
    }
    // One morpher per animation: the model it had before goes back to the scene.
    std::vector<Morpher>& records = morphers_[animation];
    DetachChildEntities();
    for (Morpher& old : records) ReleaseModel(old.model);
    records.assign(1, Morpher{model, bone});
    model->SetCarrier(this);
    Skeleton* skeleton = GetSkeleton();
    const std::int32_t index = skeleton ? skeleton->GetBoneIndex(bone) : -1;
    if (index < 0) {
        LogTyped(LOG_ENGINE_INIT, "morpher");
        ReleaseModel(model);
        morphers_.erase(animation);
        return false;
    }
    // Asking for the bone's world matrix marks it (and its ancestors) for evaluation.
    GetBoneWorldMatrix(static_cast<std::uint32_t>(index));
    return true;
}

bool DeformedSkeletonModel::BuildFromGeometry() {
    if (!SkeletonModel::BuildFromGeometry())
        return false;
    const auto* geometry = dynamic_cast<const GeometrySkin*>(GetGeometry());
    if (!geometry)
        return true;
    std::string name;
    for (std::uint32_t i = 0; const Action* action = geometry->GetAnimationName(i, name); ++i) {
        std::string directory;
        const std::string morph = MorphFileOf(action->GetResourceName(), fileName_, directory);
        std::string bone;
        // An animation without its configuration has no morph model; the others still may.
        if (!ReadMorphBone(JoinPathWithSlash(directory, kConfigFileName), bone))
            continue;
        AttachMorpher(morph, name, bone);
    }
    return true;
}

void DeformedSkeletonModel::Update(std::uint32_t* counter, float dt, std::uint32_t frameId) {
    DetachChildEntities();
    SkeletonModel::Update(counter, dt, frameId);
    const Action* action = GetMainAction();
    Skeleton* skeleton = GetSkeleton();
    if (morphers_.empty() || !action || !skeleton)
        return;
    const std::vector<Morpher>* records = FindMorphers(action->GetName());
    if (!records)
        return;
    for (const Morpher& record : *records) {
        const std::int32_t bone = skeleton->GetBoneIndex(record.bone);
        const BoneState* state =
            bone >= 0 ? GetBoneState(static_cast<std::uint32_t>(bone)) : nullptr;
        if (!record.model || !state)
            continue;
        record.model->SetTime(GetMainTime());
        GetBoneWorldMatrix(static_cast<std::uint32_t>(bone));
        // A child entity's placement is relative to this model, so the bone's model-space matrix
        // puts the morph model at the bone's world matrix.
        record.model->SetLocalMatrix(state->modelMatrix);
        AddChildEntity(record.model);
        record.model->Update(counter, 0.0f, frameId);
    }
}

}  // namespace Zel
