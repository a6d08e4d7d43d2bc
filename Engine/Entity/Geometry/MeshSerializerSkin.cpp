// The skinned side of MeshSerializer: skeletons, actions and skin meshes built from ASE scenes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "Core/DebugHelperImpl.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Character/SkeletonNode.h"
#include "Entity/Geometry/Ase/AseMaterial.h"
#include "Entity/Geometry/Ase/AseObject.h"
#include "Entity/Geometry/Ase/AseReader.h"
#include "Entity/Geometry/Ase/AseScene.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/SkinDescription.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Math/Matrix4.h"
#include "Math/Quaternion.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {

// TM_ROTANGLE is in radians; the quaternion builder takes degrees. The factor is the f32 one
// step below the nearest to 180 / pi, as the scenes were written against it.
constexpr float kRadiansToDegrees = 57.2957763671875f;
constexpr float kHandPoseTolerance = 0.001f;
constexpr int kHandPoseMatches = 7;
// The upper 3x3 of a root finger bone's local matrix when the hand is in its reference pose.
constexpr float kReferenceHandPose[9] = {0.8f,     0.592f,   0.09723f, 0.0f,    0.14716f,
                                         -0.0365f, -0.9884f, 0.0f,     -0.5816f};
// The global switch that leaves the animations of a skin description unloaded.
constexpr std::uint32_t kSkipSkinAnimationsSwitch = 38;

// The stored name without its quotes ("" for fewer than two characters), at most 255 characters.
std::string Unquote(const std::optional<std::string>& quoted) {
    if (!quoted || quoted->size() < 2)
        return std::string();
    return quoted->substr(1, std::min<std::size_t>(quoted->size() - 2, 255));
}

// The row-vector node matrix in column-vector form without scale.
void ColumnFormWithoutScale(const float* nodeMatrix, float* out) {
    std::memcpy(out, nodeMatrix, 16 * sizeof(float));
    Matrix4::Transpose(out);
    Matrix4::RemoveScale(out);
}

// How many of the nine reference entries the object's local rotation matches, relative to its
// parent object; -1 without a parent (no local matrix to compare).
int HandPoseMatches(const AseObject& object) {
    if (!object.parent)
        return -1;
    float parent[16], own[16], local[16];
    ColumnFormWithoutScale(object.parent->nodeMatrix, parent);
    Matrix4::Inverse(parent);
    Matrix4::RemoveScale(parent);
    ColumnFormWithoutScale(object.nodeMatrix, own);
    MultiplyMatrices4(parent, own, local);
    Matrix4::RemoveScale(local);
    int matches = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (std::fabs(local[4 * r + c] - kReferenceHandPose[3 * r + c]) <= kHandPoseTolerance)
                ++matches;
    return matches;
}

void Report(const char* format, const std::string& argument) {
    if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
        reporter->Error(format, argument.c_str());
    else
        LogError(format, argument.c_str());
}

// The skeleton of the name with one more reference, or null.
Skeleton* AcquireSkeleton(const std::string& name) {
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    return skeletons ? static_cast<Skeleton*>(skeletons->AcquireByName(name)) : nullptr;
}

void ReleaseSkeleton(Skeleton* skeleton) {
    if (SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager))
        skeletons->ReleaseShared(skeleton);
}

// The skin's blend records from the set's vertex weights: at most four influences per vertex,
// bones by name; a name the skeleton lacks takes bone 0 (logged when asked).
void FillBlendRecords(Skin& skin, const AseStripSet& set, const Skeleton& skeleton,
                      bool logUnknown) {
    std::vector<SkinBlendRecord>& blend = skin.GetBlendRecords();
    blend.assign(skin.GetVertexCount(), SkinBlendRecord());
    for (std::size_t v = 0; v < blend.size() && v < set.vertexWeights.size(); ++v) {
        const AseVertexWeights& influences = set.vertexWeights[v];
        const std::size_t used = std::min<std::size_t>(
            {influences.boneNames.size(), influences.weights.size(), Skin::kMaxInfluences});
        blend[v].count = static_cast<std::int32_t>(used);
        for (std::size_t k = 0; k < used; ++k) {
            std::int32_t bone = skeleton.GetBoneIndex(influences.boneNames[k]);
            if (bone < 0) {
                if (logUnknown)
                    LogTyped(LOG_ENGINE_INIT, "皮肤ASE皮肤顶点找不到对应骨骼 %s",
                             influences.boneNames[k].c_str());
                bone = 0;
            }
            blend[v].bones[k] = static_cast<std::uint32_t>(bone);
            blend[v].weights[k] = influences.weights[k];
        }
    }
}

}  // namespace

void MeshSerializer::AppendBoneTrack(ActionResource& resource, const Skeleton& skeleton,
                                     const AseObject& object, const std::string& name,
                                     std::vector<bool>& driven) {
    const std::int32_t bone = skeleton.GetBoneIndex(name);
    // A second object of one bone would drive it twice: the first one wins.
    if (bone < 0 || driven[static_cast<std::size_t>(bone)])
        return;
    auto track = std::make_unique<AnimationTrack>(nullptr, "", "", 0);
    if (!BuildTrackFromAseObject(*track, object, false))
        return;
    driven[static_cast<std::size_t>(bone)] = true;
    track->SetFlags(track->GetFlags() | AnimationTrack::kKeepsPosition);
    resource.SetLength(std::max(resource.GetLength(), track->GetLength()));
    resource.AddTrack(std::move(track), bone);
}

int MeshSerializer::LoadSkeleton(Skeleton& skeleton, const std::string& path) {
    skeleton.ReleaseBones();
    std::unique_ptr<AseScene> scene = ReadAseFile(path, 1.0f);
    if (!scene)
        return -1;
    std::vector<SkeletonNode> nodes;
    for (const std::unique_ptr<AseObject>& object : scene->objects) {
        SkeletonNode node;
        node.parentName = Unquote(object->parentName);
        node.name = Unquote(object->name);
        for (int k = 0; k < 3; ++k)
            node.localPosition[k] = node.modelPosition[k] = object->nodeMatrix[12 + k];
        Quaternion::FromAngleAxis(node.localRotation, object->tmRotAngle * kRadiansToDegrees,
                                  object->tmRotAxis);
        ColumnFormWithoutScale(object->nodeMatrix, node.bindMatrix);
        nodes.push_back(std::move(node));
    }
    if (nodes.empty()) {
        LogTyped(LOG_ENGINE_INIT, "Error LoadSkeleton %s Failed,geo num=%d", path.c_str(),
                 static_cast<int>(scene->objects.size()));
        FreeAseScene(std::move(scene));
        return -2;
    }
    FreeAseScene(std::move(scene));
    if (!skeleton.BuildFromTree(nodes)) {
        LogTyped(LOG_ENGINE_INIT, "Error MakeSkeleton");
        return -3;
    }
    for (Bone* bone : skeleton.GetBones()) {
        float* relative = bone->GetParentRelativeMatrix();
        if (const Bone* parent = bone->GetParent())
            MultiplyMatrices4(parent->GetInverseBindMatrix(), bone->GetBindMatrix(), relative);
        else
            std::memcpy(relative, bone->GetBindMatrix(), 16 * sizeof(float));
        Matrix4::Decompose(relative, nullptr, bone->GetLocalRotation(), bone->GetLocalPosition());
        const std::string_view name = bone->GetName();
        if (name == "Bip01 R Foot")
            skeleton.SetFootBone(1, bone->GetIndex());
        else if (name == "Bip01 L Foot")
            skeleton.SetFootBone(0, bone->GetIndex());
    }
    skeleton.SetSourceName(path);
    skeleton.SetLowerBodyMask(skeleton.FindSplitBones());
    return 0;
}

bool MeshSerializer::LoadActionFromAse(ActionResource& resource, const std::string& skeletonName,
                                       const std::string& path) {
    Skeleton* skeleton = AcquireSkeleton(skeletonName);
    std::unique_ptr<AseScene> scene = LoadAseScene(path, 1.0f, true);
    if (!scene) {
        ReleaseSkeleton(skeleton);
        return false;
    }
    resource.SetLength(0.0f);
    leftHand_ = rightHand_ = false;
    std::vector<bool> driven(skeleton ? skeleton->GetBoneCount() : 0, false);
    for (const std::unique_ptr<AseObject>& entry : scene->objects) {
        if (!entry || !entry->name)
            continue;
        const AseObject& object = *entry;
        const std::string name = Unquote(object.name);
        // A hand in its reference pose keeps its fingers still: their tracks would only replay
        // the pose with the noise of the export.
        bool skip = false;
        for (auto [side, flag] : {std::pair{"L", &leftHand_}, std::pair{"R", &rightHand_}}) {
            const std::string finger = std::string("Bip01 ") + side + " Finger";
            if (name.find(finger) == std::string::npos)
                continue;
            if (name == finger + "0") {
                if (HandPoseMatches(object) >= kHandPoseMatches)
                    *flag = true;
                skip = true;
            } else {
                skip = *flag || !object.animation || object.animation->rotationKeys.empty();
            }
            break;
        }
        if (!skip && skeleton)
            AppendBoneTrack(resource, *skeleton, object, name, driven);
    }
    FreeAseScene(std::move(scene));
    ReleaseSkeleton(skeleton);
    return true;
}

bool MeshSerializer::LoadSkinActionFromAse(ActionResource& resource, GeometrySkin& geometry,
                                           const std::string& path) {
    std::unique_ptr<AseScene> scene = LoadAseScene(path, 1.0f, true);
    if (!scene)
        return false;
    Skeleton* skeleton =
        geometry.GetSkeleton() ? AcquireSkeleton(geometry.GetSkeleton()->GetName()) : nullptr;
    if (!skeleton) {
        LogTyped(LOG_ENGINE_INIT, "缺少骨骼信息");
        FreeAseScene(std::move(scene));
        return false;
    }
    std::vector<bool> driven(skeleton->GetBoneCount(), false);
    for (const std::unique_ptr<AseObject>& entry : scene->objects) {
        if (entry && entry->name)
            AppendBoneTrack(resource, *skeleton, *entry, Unquote(entry->name), driven);
    }
    FreeAseScene(std::move(scene));
    ReleaseSkeleton(skeleton);
    return true;
}

bool MeshSerializer::FillStripMesh(Mesh& mesh, const AseStripSet& set, const AseObject& object,
                                   const AseMaterials& materials) {
    if (object.materialRef >= 0 && std::size_t(object.materialRef) < materials.size())
        if (const AseMaterial* material =
                FindSubMaterial(materials[std::size_t(object.materialRef)].get(), set.subMaterial))
            mesh.SetMaterialName(material->name);
    return BuildStripSetMesh(mesh, set, 0, object, object.parent || object.animation);
}

std::uint32_t MeshSerializer::BuildStripMeshList(const AseObject& object,
                                                 const AseMaterials& materials,
                                                 std::vector<std::unique_ptr<Mesh>>& meshes,
                                                 bool asSkin) {
    std::uint32_t made = 0;
    if (!object.strips)
        return made;
    for (const std::unique_ptr<AseStripSet>& set : object.strips->sets) {
        std::unique_ptr<Mesh> mesh = asSkin ? std::make_unique<Skin>(nullptr, std::string())
                                            : std::make_unique<Mesh>(nullptr, true, true);
        if (!FillStripMesh(*mesh, *set, object, materials))
            break;
        meshes.push_back(std::move(mesh));
        ++made;
    }
    return made;
}

std::uint32_t MeshSerializer::BuildClothSkinMeshes(const AseObject& object,
                                                   const AseMaterials& materials,
                                                   const std::string& skeletonName,
                                                   std::vector<std::unique_ptr<Mesh>>& meshes) {
    Skeleton* skeleton = AcquireSkeleton(skeletonName);
    const std::size_t first = meshes.size();
    const std::uint32_t made = BuildStripMeshList(object, materials, meshes, true);
    for (std::uint32_t i = 0; i < made && skeleton; ++i) {
        auto& skin = static_cast<Skin&>(*meshes[first + i]);
        const AseStripSet& set = *object.strips->sets[i];
        if (set.vertexWeights.empty())
            continue;
        FillBlendRecords(skin, set, *skeleton, false);
        skin.BuildPalette();
        skin.BuildBoneBatches();
    }
    ReleaseSkeleton(skeleton);
    return made;
}

bool MeshSerializer::BuildSkinMeshesFromAseObject(const AseObject& object,
                                                  const AseMaterials& materials,
                                                  GeometrySkin& geometry) {
    Skeleton* skeleton =
        geometry.GetSkeleton() ? AcquireSkeleton(geometry.GetSkeleton()->GetName()) : nullptr;
    if (!skeleton || !object.strips) {
        ReleaseSkeleton(skeleton);
        return true;
    }
    bool built = true;
    for (const std::unique_ptr<AseStripSet>& set : object.strips->sets) {
        if (set->vertexCount <= 0 || set->positions.empty())
            continue;
        auto* skin = static_cast<Skin*>(geometry.AddMesh());
        if (!FillStripMesh(*skin, *set, object, materials)) {
            built = false;
            break;
        }
        geometry.GetBounds().Merge(skin->GetBounds());
        const std::uint32_t n = skin->GetVertexCount();
        skin->GetBlendRecords().assign(n, SkinBlendRecord());
        VertexData* data = skin->GetVertexData();
        VertexComponentDataPool* weights = data->AddComponent(VF_BLEND_WEIGHTS, VET_FLOAT4, n);
        VertexComponentDataPool* indices = data->AddComponent(VF_BLEND_INDICES, VET_FLOAT4, n);
        if (set->vertexWeights.empty()) {
            LogTyped(LOG_ENGINE_INIT, "皮肤ASE文件没有顶点权值");
            continue;
        }
        FillBlendRecords(*skin, *set, *skeleton, true);
        skin->BuildPalette();
        if (weights && indices && weights->GetData() && indices->GetData()) {
            float* w = weights->GetFloats();
            float* b = indices->GetFloats();
            const std::vector<SkinBlendRecord>& blend = skin->GetBlendRecords();
            for (std::uint32_t v = 0; v < n; ++v)
                for (std::int32_t k = 0; k < 4; ++k) {
                    w[4 * v + k] = blend[v].weights[k];
                    std::int32_t slot = 0;
                    if (k < blend[v].count) {
                        slot = skin->FindPaletteIndex(blend[v].bones[k]);
                        if (slot < 0) {
                            LogTyped(LOG_ENGINE_INIT, "newID==-1");
                            slot = 0;
                        }
                    }
                    b[4 * v + k] = static_cast<float>(slot);
                }
        }
        skin->BuildBoneBatches();
    }
    ReleaseSkeleton(skeleton);
    return built;
}

bool MeshSerializer::LoadSkinMeshesFromAse(GeometrySkin& geometry, const std::string& path) {
    std::unique_ptr<AseScene> scene = LoadAseScene(path, 1.0f, true);
    if (!scene) {
        LogTyped(LOG_ENGINE_INIT, "%s", ("读取ase文件失败，fn=" + path).c_str());
        return false;
    }
    bool built = true;
    for (const std::unique_ptr<AseObject>& object : scene->objects)
        built = built && BuildSkinMeshesFromAseObject(*object, scene->materials, geometry);
    FreeAseScene(std::move(scene));
    geometry.SortMeshes();
    return built;
}

bool MeshSerializer::LoadSkinFromText(GeometrySkin& geometry, const SkinDescription& description) {
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    Skeleton* skeleton = skeletons ? skeletons->GetOrLoad(description.skeletonFile) : nullptr;
    if (!skeleton) {
        Report("Error 读取骨骼文件失败:%s", description.skeletonFile);
        return false;
    }
    geometry.SetSkeleton(skeleton);
    if (!LoadSkinMeshesFromAse(geometry, description.meshFile)) {
        LogTyped(LOG_ENGINE_INIT, "无法调入Skin %s", description.meshFile.c_str());
        return false;
    }
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (!config || config->GetValue(kSkipSkinAnimationsSwitch) == 0)
        for (const auto& [name, file] : description.animations) geometry.AddAnimation(name, file);
    geometry.UpdateBounds();
    return true;
}

}  // namespace Zel
