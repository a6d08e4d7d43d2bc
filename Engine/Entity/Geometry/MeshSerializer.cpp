#include "Entity/Geometry/MeshSerializer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/AnimationManager.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/Ase/AseReader.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/MeshBuildHelpers.h"
#include "Entity/Geometry/MeshComponents.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Math/Quaternion.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {

constexpr std::int32_t kDefaultFrameSpeed = 30;
constexpr std::int32_t kDefaultTicksPerFrame = 160;

// p (x, y, z, 1) as a row vector through the object's inverse node matrix, divided by w.
void ToObjectSpace(const AseObject& object, const float* p, float* out) {
    const float* m = object.inverseNodeMatrix;
    float r[4];
    for (int c = 0; c < 4; ++c) r[c] = p[0] * m[c] + p[1] * m[4 + c] + p[2] * m[8 + c] + m[12 + c];
    const float w = r[3];
    for (int i = 0; i < 3; ++i) out[i] = w == 1.0f ? r[i] : (w == 0.0f ? 0.0f : r[i] / w);
}

// A normal into the space positions are moved to: the inverse transpose of the inverse node
// matrix (as row vectors) is the transposed node matrix.
void NormalToObjectSpace(const AseObject& object, const float* n, float* out) {
    Matrix4::RotateVector(object.nodeMatrix, out, n);
}

// A position (3 floats) into the component, world or object space, growing the mesh's box.
void PutPosition(const AseObject& object, bool toLocal, const float* p, float* out, AABB& box) {
    if (toLocal)
        ToObjectSpace(object, p, out);
    else
        std::copy(p, p + 3, out);
    box.ExtendByPoint(out[0], out[1], out[2]);
}

void PutNormal(const AseObject& object, bool toLocal, const float* n, float* out) {
    if (toLocal)
        NormalToObjectSpace(object, n, out);
    else
        std::copy(n, n + 3, out);
}

// The object's pose relative to its parent in column-vector form (transposed node matrices):
// inverse(parent) x node, or node alone without a parent.
void RelativeTransform(const AseObject& object, float* out) {
    float row[16];
    if (object.parent)
        MultiplyMatrices4(object.nodeMatrix, object.parent->inverseNodeMatrix, row);
    else
        std::memcpy(row, object.nodeMatrix, sizeof row);
    TransposeMatrix4(row, out);
}

struct Pose {
    float scale[3] = {1.0f, 1.0f, 1.0f};
    float rotation[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float position[3] = {0.0f, 0.0f, 0.0f};
};

Pose RelativePose(const AseObject& object) {
    float m[16];
    RelativeTransform(object, m);
    Pose pose;
    Matrix4::Decompose(m, pose.scale, pose.rotation, pose.position);
    return pose;
}

// The object's node transform after its meshes: its pose into the geometry's lists, or into its
// animation (whose keys are built here) with identity entries in the lists.
void AppendNodeTransform(Geometry& geometry, const AseObject& object, bool toLocal,
                         AnimationTrack* animation, MeshSerializer& serializer) {
    const Pose pose = toLocal ? RelativePose(object) : Pose();
    if (!object.animation || !animation) {
        geometry.GetTranslations().push_back(
            {pose.position[0], pose.position[1], pose.position[2]});
        geometry.GetRotations().push_back(
            {pose.rotation[0], pose.rotation[1], pose.rotation[2], pose.rotation[3]});
        geometry.GetScales().push_back({pose.scale[0], pose.scale[1], pose.scale[2]});
    } else {
        // An animation already loaded belongs to an earlier load of the same file: shared as is.
        if (!animation->IsLoaded() &&
            serializer.BuildTrackFromAseObject(*animation, object, false)) {
            animation->SetLoaded(true);
            animation->SetLoadSucceeded(true);
            if (CResourceManager* manager = animation->GetManager())
                manager->OnLoaded(animation);
        }
        animation->SetBaseTransform(pose.position, pose.rotation, pose.scale);
        geometry.GetTranslations().push_back({0.0f, 0.0f, 0.0f});
        geometry.GetRotations().push_back({0.0f, 0.0f, 0.0f, 1.0f});
        geometry.GetScales().push_back({1.0f, 1.0f, 1.0f});
    }
    geometry.GetParentIndices().push_back(-1);
}

// The material a face's id names, or null.
const AseMaterial* FaceMaterial(const AseObject& object, const MeshSerializer::AseMaterials& all,
                                std::int32_t id) {
    if (object.materialRef < 0 || std::size_t(object.materialRef) >= all.size())
        return nullptr;
    return FindSubMaterial(all[std::size_t(object.materialRef)].get(), id);
}

// Replaces frame settings of 0 in the scene's animations; true when any was replaced.
bool DefaultFrameSettings(AseScene& scene) {
    bool replaced = false;
    for (const std::unique_ptr<AseObject>& object : scene.objects) {
        AseAnimation* a = object->animation.get();
        if (!a || (a->frameSpeed != 0 && a->ticksPerFrame != 0))
            continue;
        if (a->frameSpeed == 0)
            a->frameSpeed = kDefaultFrameSpeed;
        if (a->ticksPerFrame == 0)
            a->ticksPerFrame = kDefaultTicksPerFrame;
        replaced = true;
    }
    return replaced;
}

void PrepareScene(AseScene& scene, const std::string& path) {
    if (DefaultFrameSettings(scene))
        LogTyped(LOG_ENGINE_INIT,
                 "%s: node animation without frame settings plays at %d frames a second, %d "
                 "ticks a frame",
                 path.c_str(), kDefaultFrameSpeed, kDefaultTicksPerFrame);
}

}  // namespace

bool MeshSerializer::LoadGeometryFromAse(Geometry& geometry, const std::string& path) {
    std::unique_ptr<AseScene> scene = LoadAseScene(path, 1.0f, true);
    if (!scene) {
        ReportError("读取ase文件失败，fn=%s,错误类型:", path.c_str());
        return false;
    }
    const bool ok = BuildGeometryFromAseScene(geometry, *scene, path);
    FreeAseScene(std::move(scene));
    return ok;
}

bool MeshSerializer::BuildGeometryFromAseScene(Geometry& geometry, AseScene& scene,
                                               const std::string& path) {
    PrepareScene(scene, path);
    // Animations play in parent space, so one animated object puts every object there.
    bool toLocal = false;
    for (const std::unique_ptr<AseObject>& object : scene.objects)
        toLocal = toLocal || object->animation != nullptr;

    AnimationManager* animations = Globals::Find(&Globals::GetAnimationManager);
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const AseObject& object = *scene.objects[i];
        AnimationTrack* track = nullptr;
        if (object.animation && animations) {
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, ".animation%zu", i);
            const std::string name = path + suffix;
            CResource* found = animations->GetByName(name);
            if (!found) {
                found = animations->Create(name);
                if (auto* made = dynamic_cast<AnimationTrack*>(found))
                    made->SetObjectIndex(static_cast<std::uint32_t>(i));
            }
            track = dynamic_cast<AnimationTrack*>(found);
            if (track)
                geometry.AddAnimation(SharedPtr<CResource>(track));
        }
        const auto index = static_cast<std::uint32_t>(i);
        const bool built = object.strips
                               ? BuildMeshesFromAseStrips(geometry, object, *object.strips,
                                                          scene.materials, toLocal, track, index)
                               : BuildMeshesFromAseObject(object, scene.materials, geometry,
                                                          toLocal, track, index);
        if (!built)
            return false;
    }
    std::vector<std::int32_t>& parents = geometry.GetParentIndices();
    const std::size_t first = parents.size() - scene.objects.size();
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const AseObject* parent = scene.objects[i]->parent;
        if (!parent)
            continue;
        for (std::size_t j = 0; j < scene.objects.size(); ++j)
            if (scene.objects[j].get() == parent) {
                parents[first + i] = static_cast<std::int32_t>(j);
                break;
            }
    }
    return true;
}

bool MeshSerializer::BuildMeshesFromAseObject(const AseObject& object,
                                              const AseMaterials& materials, Geometry& geometry,
                                              bool transformToLocal, AnimationTrack* animation,
                                              std::uint32_t objectIndex) {
    const std::size_t faceCount = object.faces.size() / 3;
    // Distinct material records in order of first use, each with its faces in face order.
    std::vector<const AseMaterial*> distinct;
    std::vector<std::vector<std::size_t>> facesOf;
    std::unordered_map<const AseMaterial*, std::size_t> slotOf;
    for (std::size_t f = 0; f < faceCount; ++f) {
        const std::int32_t id = f < object.faceMaterialIds.size() ? object.faceMaterialIds[f] : 0;
        const AseMaterial* material = FaceMaterial(object, materials, id);
        const auto [at, added] = slotOf.try_emplace(material, distinct.size());
        if (added) {
            distinct.push_back(material);
            facesOf.emplace_back();
        }
        facesOf[at->second].push_back(f);
    }
    const bool hasNormals = !object.vertexNormals.empty();
    const bool hasTexCoords = object.texFaceCount == object.faceCount &&
                              object.texFaces.size() == 3 * faceCount &&
                              !object.texVertices.empty();
    const bool hasColours = !object.colorVertices.empty();
    const bool packed = SceneIsDX7Mode();

    for (std::size_t slot = 0; slot < distinct.size(); ++slot) {
        const std::vector<std::size_t>& faces = facesOf[slot];
        const auto vertexCount = static_cast<std::uint32_t>(faces.size() * 3);
        Mesh& mesh = *geometry.AddMesh();
        mesh.SetGroupWord(objectIndex);
        if (distinct[slot])
            mesh.SetMaterialName(distinct[slot]->name);
        mesh.SetFaceCount(static_cast<std::uint32_t>(faces.size()));
        mesh.SetVertexCount(vertexCount);

        MeshComponents out(*mesh.GetVertexData(), vertexCount, packed, hasNormals, hasTexCoords,
                           hasColours);
        if (!out.Complete())
            return false;
        AABB& box = mesh.GetBoundsForUpdate();
        std::uint32_t v = 0;
        for (std::size_t f : faces) {
            for (std::size_t k = 0; k < 3; ++k, ++v) {
                const std::size_t corner = 3 * f + k;
                const auto& p = object.vertices[std::size_t(object.faces[corner])];
                PutPosition(object, transformToLocal, p.data(), out.Position(v), box);
                if (out.normals) {
                    const std::int32_t n = corner < object.faceNormalIndices.size()
                                               ? object.faceNormalIndices[corner]
                                               : -1;
                    if (n >= 0 && std::size_t(n) < object.vertexNormals.size())
                        PutNormal(object, transformToLocal,
                                  object.vertexNormals[std::size_t(n)].data(), out.Normal(v));
                }
                if (out.texCoords) {
                    const auto& t = object.texVertices[std::size_t(object.texFaces[corner])];
                    out.TexCoord(v)[0] = t[0];
                    out.TexCoord(v)[1] = 1.0f - t[1];
                }
                if (out.colours) {
                    float rgba[4] = {0.0f, 0.0f, 0.0f, 1.0f};
                    if (corner < object.colorFaces.size()) {
                        const auto& c =
                            object.colorVertices[std::size_t(object.colorFaces[corner])];
                        std::copy(c.begin(), c.end(), rgba);
                    }
                    out.PutColour(v, rgba);
                }
            }
        }
        std::vector<std::uint32_t> indices(vertexCount);
        for (std::uint32_t i = 0; i < vertexCount; ++i) indices[i] = i;
        auto group = std::make_unique<LodStripArray>();
        group->entries.push_back({PT_TRIANGLE_LIST, vertexCount, vertexCount, 0, 0});
        group->value = vertexCount / 3;
        mesh.AddRenderGroup(std::move(group));
        if (!FillMeshIndices(mesh, indices, BU_STATIC | BU_WRITE_ONLY, false))
            return false;
        geometry.GetBounds().Merge(box);
    }
    AppendNodeTransform(geometry, object, transformToLocal, animation, *this);
    return true;
}

bool MeshSerializer::BuildMeshesFromAseStrips(Geometry& geometry, const AseObject& object,
                                              const AseStrips& strips,
                                              const AseMaterials& materials, bool transformToLocal,
                                              AnimationTrack* animation,
                                              std::uint32_t objectIndex) {
    for (const std::unique_ptr<AseStripSet>& set : strips.sets) {
        if (set->vertexCount <= 0 || set->positions.empty())
            continue;
        Mesh& mesh = *geometry.AddMesh();
        mesh.SetGroupWord(objectIndex);
        if (object.materialRef >= 0)
            if (const AseMaterial* material = FaceMaterial(object, materials, set->subMaterial))
                mesh.SetMaterialName(material->name);
        if (!BuildStripSetMesh(mesh, *set, 0, object, transformToLocal))
            return false;
        geometry.GetBounds().Merge(mesh.GetBounds());
    }
    AppendNodeTransform(geometry, object, transformToLocal, animation, *this);
    return true;
}

bool MeshSerializer::BuildStripSetMesh(Mesh& mesh, const AseStripSet& set, std::uint32_t,
                                       const AseObject& object, bool transformToLocal) {
    const auto vertexCount = static_cast<std::uint32_t>(set.positions.size());
    mesh.SetVertexCount(vertexCount);
    const bool hasNormals = set.normals.size() == vertexCount;
    const bool hasTexCoords = set.texCoords.size() == vertexCount;
    const bool hasColours = set.colors.size() == vertexCount;
    MeshComponents out(*mesh.GetVertexData(), vertexCount, SceneIsDX7Mode(), hasNormals,
                       hasTexCoords, hasColours);
    if (!out.Complete())
        return false;
    AABB& box = mesh.GetBoundsForUpdate();
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
        PutPosition(object, transformToLocal, set.positions[v].data(), out.Position(v), box);
        if (out.normals)
            PutNormal(object, transformToLocal, set.normals[v].data(), out.Normal(v));
        if (out.texCoords)
            std::copy(set.texCoords[v].begin(), set.texCoords[v].end(), out.TexCoord(v));
        if (out.colours)
            out.PutColour(v, set.colors[v].data());
    }

    std::vector<std::uint32_t> indices;
    // Appends the triangles of a strip list to the indices as one list entry of a new group.
    const auto addStripGroup = [&](const std::vector<AseStrip>& list) {
        const auto start = static_cast<std::uint32_t>(indices.size());
        const std::uint32_t faces = AppendStripTriangles(list, indices);
        auto group = std::make_unique<LodStripArray>();
        if (faces)
            group->entries.push_back({PT_TRIANGLE_LIST, 3 * faces, 3 * faces, 4 * start, 0});
        group->value = faces;
        mesh.AddRenderGroup(std::move(group));
        return faces;
    };
    if (set.stripLods.empty()) {
        const std::uint32_t faces = AppendStripTriangles(set.strips, indices);
        mesh.SetFaceCount(faces);
        if (faces || !set.lods.empty()) {
            auto group = std::make_unique<LodStripArray>();
            if (faces)
                group->entries.push_back({PT_TRIANGLE_LIST, 3 * faces, 3 * faces, 0, 0});
            group->value = faces;
            mesh.AddRenderGroup(std::move(group));
        }
        for (const AseLod& lod : set.lods) {
            auto group = std::make_unique<LodStripArray>();
            const auto stripCount = static_cast<std::uint32_t>(lod.strip.size());
            const auto triangleCount = static_cast<std::uint32_t>(lod.triangles.size());
            if (stripCount) {
                group->entries.push_back({PT_TRIANGLE_STRIP, stripCount, stripCount,
                                          4 * static_cast<std::uint32_t>(indices.size()), 0});
                indices.insert(indices.end(), lod.strip.begin(), lod.strip.end());
            }
            if (triangleCount) {
                group->entries.push_back({PT_TRIANGLE_LIST, triangleCount, triangleCount,
                                          4 * static_cast<std::uint32_t>(indices.size()), 0});
                indices.insert(indices.end(), lod.triangles.begin(), lod.triangles.end());
            }
            // A strip of fewer than three indices draws nothing.
            group->value = (stripCount > 2 ? stripCount - 2 : 0) + triangleCount / 3;
            mesh.AddRenderGroup(std::move(group));
        }
    } else {
        mesh.SetFaceCount(addStripGroup(set.strips));
        for (const std::vector<AseStrip>& list : set.stripLods) addStripGroup(list);
    }
    return FillMeshIndices(mesh, indices, BU_STATIC | BU_WRITE_ONLY, false);
}

bool MeshSerializer::BuildTrackFromAseObject(AnimationTrack& track, const AseObject& object,
                                             bool transformKeys) {
    track.ClearKeys();
    const Pose pose = RelativePose(object);
    const AseAnimation* animation = object.animation.get();
    if (!animation || (animation->positionKeys.empty() && animation->rotationKeys.empty())) {
        track.SetBaseTransform(pose.position, pose.rotation, pose.scale);
        track.SetFlags(track.GetFlags() | AnimationTrack::kConstant);
        return true;
    }
    const std::int64_t frameSpeed =
        animation->frameSpeed > 0 ? animation->frameSpeed : kDefaultFrameSpeed;
    const std::int64_t ticksPerFrame =
        animation->ticksPerFrame > 0 ? animation->ticksPerFrame : kDefaultTicksPerFrame;
    const std::int64_t span = std::int64_t(animation->lastFrame) - animation->firstFrame;
    if (span < 0 || span >= kMaxFrames) {
        LogTyped(LOG_ENGINE_INIT,
                 "MeshSerializer: node animation from frame %d to %d (at most %lld frames)",
                 animation->firstFrame, animation->lastFrame, static_cast<long long>(kMaxFrames));
        return false;
    }
    const double secondsPerTick = 1.0 / double(frameSpeed * ticksPerFrame);
    const std::int64_t startTick = std::int64_t(animation->firstFrame) * ticksPerFrame;
    const std::int64_t endTick = span * ticksPerFrame;
    const auto frameCount = static_cast<std::uint32_t>(span + 1);
    track.SetFrameCount(frameCount);
    track.SetFrameInterval(float(1.0 / double(frameSpeed)));
    track.SetFlags(track.GetFlags() & ~AnimationTrack::kConstant);

    const auto seconds = [&](std::int64_t ticks) { return float(double(ticks) * secondsPerTick); };
    // Per frame, the index of the file key in force (see the frame-to-key tables).
    const auto frameTable = [&](const auto& keys) {
        std::vector<std::int32_t> table(frameCount);
        std::int64_t i = 0;
        const auto last = std::int64_t(keys.size()) - 1;
        for (std::uint32_t f = 0; f < frameCount; ++f) {
            if (std::int64_t(f) * ticksPerFrame >=
                std::int64_t(keys[std::size_t(i)].time) - startTick)
                ++i;
            table[f] = static_cast<std::int32_t>(i - 1);
            i = std::min(i, last);
        }
        return table;
    };
    // Fills a channel from the file's keys: the inserted first key, the keys, the repeated last.
    const auto fill = [&](auto& channel, const auto& keys, auto value, const auto& firstValue) {
        using Key = typename std::decay_t<decltype(channel.keys)>::value_type;
        channel.firstKind = keys.front().kind;
        if (keys.front().time - startTick != 0) {
            Key key = firstValue;
            key.time = 0.0f;
            channel.keys.push_back(key);
        }
        for (std::size_t k = 0; k < keys.size(); ++k) {
            Key key = value(k);
            key.time = seconds(keys[k].time - startTick);
            channel.keys.push_back(key);
        }
        if (keys.back().time - startTick != endTick) {
            Key key = channel.keys.back();
            key.time = seconds(endTick);
            channel.keys.push_back(key);
        }
        channel.first = 0;
        channel.last = static_cast<std::int32_t>(channel.keys.size()) - 1;
        channel.frameKeys = frameTable(keys);
    };

    float basePosition[3], baseRotation[4], baseScale[3];
    std::copy(track.GetBasePosition(), track.GetBasePosition() + 3, basePosition);
    std::copy(track.GetBaseRotation(), track.GetBaseRotation() + 4, baseRotation);
    std::copy(track.GetBaseScale(), track.GetBaseScale() + 3, baseScale);

    const auto& positions = animation->positionKeys;
    if (positions.size() < 2) {
        std::copy(pose.position, pose.position + 3, basePosition);
    } else {
        const AnimationTrack::VectorKey first{object.tmPos[0], object.tmPos[1], object.tmPos[2]};
        fill(
            track.Positions(), positions,
            [&](std::size_t k) {
                return AnimationTrack::VectorKey{positions[k].x, positions[k].y, positions[k].z};
            },
            first);
    }
    const auto& rotations = animation->rotationKeys;
    if (rotations.size() < 2) {
        std::copy(pose.rotation, pose.rotation + 4, baseRotation);
    } else {
        // Samples are relative rotations: each is applied after the previous one.
        std::vector<AnimationTrack::RotationKey> turned(rotations.size());
        const bool samples = rotations.front().kind == 3;
        for (std::size_t k = 0; k < rotations.size(); ++k) {
            float q[4];
            Quaternion::FromAngleAxis(q, rotations[k].angle * RAD_TO_DEG, rotations[k].axis);
            if (samples && k > 0) {
                const float previous[4] = {turned[k - 1].x, turned[k - 1].y, turned[k - 1].z,
                                           turned[k - 1].w};
                float product[4];
                MultiplyQuaternions(previous, q, product);
                std::copy(product, product + 4, q);
            }
            turned[k] = {q[0], q[1], q[2], q[3], 0.0f};
        }
        const AnimationTrack::RotationKey first{baseRotation[0], baseRotation[1], baseRotation[2],
                                                baseRotation[3]};
        fill(
            track.Rotations(), rotations, [&](std::size_t k) { return turned[k]; }, first);
    }
    const auto& scales = animation->scaleKeys;
    if (scales.size() < 2) {
        std::copy(pose.scale, pose.scale + 3, baseScale);
    } else {
        const AnimationTrack::VectorKey first{object.tmScale[0], object.tmScale[1],
                                              object.tmScale[2]};
        fill(
            track.Scales(), scales,
            [&](std::size_t k) {
                return AnimationTrack::VectorKey{scales[k].scale[0], scales[k].scale[1],
                                                 scales[k].scale[2]};
            },
            first);
    }
    track.SetBaseTransform(basePosition, baseRotation, baseScale);
    track.SetLength(seconds(endTick));
    if (transformKeys) {
        float column[16];
        TransposeMatrix4(object.nodeMatrix, column);
        track.TransformKeys(column);
    }
    return true;
}

bool MeshSerializer::LoadAnimationTrack(AnimationTrack& track, const std::string& path) {
    std::unique_ptr<AseScene> scene = ReadAseFile(path, 1.0f);
    if (!scene)
        return false;
    bool ok = false;
    if (!scene->objects.empty() && scene->objects.front()->animation) {
        PrepareScene(*scene, path);
        ok = BuildTrackFromAseObject(track, *scene->objects.front(), false);
    }
    FreeAseScene(std::move(scene));
    return ok;
}

}  // namespace Zel
