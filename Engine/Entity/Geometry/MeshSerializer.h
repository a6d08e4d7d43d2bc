// Builds geometry from model sources that are not chunk streams: the meshes, node transforms and
// animations of an ASE text scene (the mesh file of a ".dml" or ".xml" description), the tracks
// of animations given as ASE text, and the meshes of a level from its binary level mesh file.
// Globals builds the one instance. Loading thread only.
//
// Text scenes: every scene object gives one mesh per material of its faces (or one per strip set
// of its strip extension), a node transform (translation, rotation, scale and parent index) and,
// when it carries node animation, an animation resource named "<path>.animation<i>". As soon as
// any object of a scene is animated, every object is moved into its own space and given its
// transform relative to its parent (the animations play in parent space). Meshes record the index
// of their object in their group word.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Zel {

class ActionResource;
class AnimationTrack;
class Entity;
class Geometry;
class GeometryDeformed;
class GeometrySkin;
class Mesh;
class Skeleton;
class SimpStaticGeometry;
class StaticGeometry;
struct AseMaterial;
struct AseObject;
struct AseScene;
struct AseStrips;
struct AseStripSet;
struct LevelMeshData;
struct SkinDescription;

class MeshSerializer {
public:
    using AseMaterials = std::vector<std::unique_ptr<AseMaterial>>;

    MeshSerializer() = default;
    virtual ~MeshSerializer() = default;
    MeshSerializer(const MeshSerializer&) = delete;
    MeshSerializer& operator=(const MeshSerializer&) = delete;

    // Reads the ASE scene of path (kept in world space) and builds it into the geometry
    // (BuildGeometryFromAseScene). False, reported ("读取ase文件失败，fn=%s,错误类型:"), when the
    // file cannot be read; false when a mesh cannot be built. The geometry's caller empties it
    // after a failure.
    virtual bool LoadGeometryFromAse(Geometry& geometry, const std::string& path);
    // Builds every object of the scene into the geometry, in scene order; path names the
    // animation resources and the log lines. A scene without frame settings (frame speed or
    // ticks per frame 0) plays at 30 frames a second with 160 ticks a frame, logged once. False
    // when a mesh cannot be built (its index buffer cannot be made).
    bool BuildGeometryFromAseScene(Geometry& geometry, AseScene& scene, const std::string& path);
    // One object without strips: a mesh per material of its faces, then its node transform.
    // animation: the object's animation resource, or null. False when a mesh cannot be built.
    bool BuildMeshesFromAseObject(const AseObject& object, const AseMaterials& materials,
                                  Geometry& geometry, bool transformToLocal,
                                  AnimationTrack* animation, std::uint32_t objectIndex);
    // One object with the strip extension: a mesh per strip set with vertices, then its node
    // transform.
    bool BuildMeshesFromAseStrips(Geometry& geometry, const AseObject& object,
                                  const AseStrips& strips, const AseMaterials& materials,
                                  bool transformToLocal, AnimationTrack* animation,
                                  std::uint32_t objectIndex);
    // Fills the mesh from one strip set: vertices, triangles from its strips (degenerate ones
    // dropped) and its levels of detail as further render groups. lodMode 0 is the only road.
    // False when the index buffer cannot be made.
    bool BuildStripSetMesh(Mesh& mesh, const AseStripSet& set, std::uint32_t lodMode,
                           const AseObject& object, bool transformToLocal);
    // Fills the track's keys from the object's node animation (cleared first); a channel with
    // fewer than two keys, or an object without animation, takes the object's pose relative to
    // its parent as the track's base value. transformKeys re-expresses the keys under the
    // object's node matrix. False, logged, when the animation spans more frames than a track
    // holds (kMaxFrames).
    bool BuildTrackFromAseObject(AnimationTrack& track, const AseObject& object,
                                 bool transformKeys);
    // The track's load from ASE text: the first object's node animation. False when the file
    // cannot be read or its first object has no animation.
    bool LoadAnimationTrack(AnimationTrack& track, const std::string& path);

    // Fills the skeleton from the node objects of an ASE scene (its old bones go first): one bone
    // per object, linked by parent name, bind matrices from the node matrices, each bone's pose
    // relative to its parent, the foot bones and the lower-body mask. 0 on success; -1 when the
    // file cannot be read, -2 for a scene without objects, -3 when no root bone is found (logged).
    virtual int LoadSkeleton(Skeleton& skeleton, const std::string& path);
    // One track per scene object that names a bone of the skeleton (held by the skeleton
    // manager), the first object of a bone winning; a hand whose root finger ("Bip01 L Finger0",
    // "Bip01 R Finger0") stands in the reference pose gives no tracks for the fingers listed
    // after it, and fingers without rotation keys give none. The length is the longest track's.
    // False only when the file cannot be read.
    virtual bool LoadActionFromAse(ActionResource& resource, const std::string& skeletonName,
                                   const std::string& path);
    // The same against the geometry's skeleton, without the finger rules and without resetting
    // the length. False when the file cannot be read or the skeleton is not held (logged).
    virtual bool LoadSkinActionFromAse(ActionResource& resource, GeometrySkin& geometry,
                                       const std::string& path);
    // One stand-alone mesh per strip set of the object (a Skin when asSkin), named after its
    // sub-material and filled from the set, appended to meshes; stops at a mesh that cannot be
    // built. Answers the meshes made.
    std::uint32_t BuildStripMeshList(const AseObject& object, const AseMaterials& materials,
                                     std::vector<std::unique_ptr<Mesh>>& meshes, bool asSkin);
    // The skins of a cloth object: BuildStripMeshList as skins, then for each whose strip set has
    // vertex weights its blend records (an unknown bone silently takes bone 0), palette and bone
    // batches, against the skeleton of the name held by the skeleton manager; no blend
    // components. Answers the meshes made.
    std::uint32_t BuildClothSkinMeshes(const AseObject& object, const AseMaterials& materials,
                                       const std::string& skeletonName,
                                       std::vector<std::unique_ptr<Mesh>>& meshes);
    // The skin meshes of one object, one per strip set, with their blend records, BLENDWEIGHTS
    // and BLENDINDICES (palette slots), palette and bone batches; nothing without the geometry's
    // skeleton. False when a mesh cannot be built (its index buffer cannot be made).
    bool BuildSkinMeshesFromAseObject(const AseObject& object, const AseMaterials& materials,
                                      GeometrySkin& geometry);
    // Every object's skin meshes, sorted; false (logged) when the scene cannot be read, false
    // when a mesh cannot be built.
    bool LoadSkinMeshesFromAse(GeometrySkin& geometry, const std::string& path);
    // The skinned geometry of a ".chr" or XML description: its skeleton file through the
    // skeleton manager, its skin meshes from the skin's ASE file, then its animations (unless
    // switch 38 is on) and the bounds. False, reported, when the skeleton or the skin cannot be
    // loaded.
    virtual bool LoadSkinFromText(GeometrySkin& geometry, const SkinDescription& description);

    // One mesh per strip set with vertices of the object, made by the geometry (of its mesh
    // class), named after its sub-material and filled from the set; appended to meshes, and the
    // geometry's box grows by each. Stops at a mesh that cannot be built. Answers the meshes made.
    std::uint32_t BuildStripMeshesIntoGeometry(const AseObject& object,
                                               const AseMaterials& materials, Geometry& geometry,
                                               std::vector<Mesh*>& meshes);
    // The deformed meshes of one object with morph frames: one per strip set of the first frame
    // with vertices, named after the object and entered as the geometry's morph targets; each
    // frame with vertices adds its strip set k as a key of target k, at (its time value - the
    // first frame's) / ticksPerSecond seconds, blending from the key before when its index count
    // is the same. Then every target is finished and its keys resampled.
    void BuildDeformedMeshes(const AseObject& object, const AseMaterials& materials,
                             double ticksPerSecond, GeometryDeformed& geometry);
    // The deformed geometry of a description's ASE scene (kept in world space): the deformed
    // meshes of every object with morph frames, the morph length (last frame - first frame) /
    // frame speed seconds, looping, and the bounds. False (logged) when the scene cannot be read.
    virtual bool LoadDeformedFromAse(GeometryDeformed& geometry, const std::string& path);

    // Reads the binary level mesh file into the level geometry: its meshes (with their own
    // vertex and 16- or 32-bit index buffers), the geometry-wide triangle arrays and the
    // occluders. False, logged, when the file cannot be opened or read, or a mesh cannot be made.
    bool LoadGeometry(StaticGeometry& geometry, const std::string& path);
    // The same for the simplified level: meshes only, no triangle arrays or occluders.
    bool LoadGeometry(SimpStaticGeometry& geometry, const std::string& path);

    // The longest animation a track holds, in frames.
    static constexpr std::int64_t kMaxFrames = 1 << 20;

private:
    // Set while LoadActionFromAse walks a scene whose left or right root finger is in the
    // reference hand pose.
    bool leftHand_ = false;
    bool rightHand_ = false;

    // Names the mesh after the set's sub-material of the object's material and fills it from the
    // set; false when it cannot be built.
    bool FillStripMesh(Mesh& mesh, const AseStripSet& set, const AseObject& object,
                       const AseMaterials& materials);
    // The object's track, built from its node animation, when the name is a bone of the skeleton
    // that no track drives yet (driven: one flag per bone); the resource's length grows to it.
    void AppendBoneTrack(ActionResource& resource, const Skeleton& skeleton,
                         const AseObject& object, const std::string& name,
                         std::vector<bool>& driven);

    // The meshes of a level mesh file as read, appended to the geometry; indexShadow is the
    // shadow setting of their index buffers.
    bool BuildLevelMeshes(Geometry& geometry, const LevelMeshData& level, bool indexShadow);
    // Reads the level mesh file into level (occluders when asked) and builds its meshes.
    bool ReadLevelMeshes(Geometry& geometry, const std::string& path, bool withOccluders,
                         bool indexShadow, LevelMeshData& level);
};

// Welds the seams between two skinned models: for every mesh of a's geometry and every mesh of
// b's that both have open-edge (seam) vertices and positions, each seam vertex of b's mesh within
// 1e-6 (squared distance) of a seam vertex of a's takes that vertex's position and, when both are
// skins and a's influences fit b's palette (appending bones as needed), its blend record and its
// BLENDWEIGHTS and BLENDINDICES. The changed vertex data is rewritten at its next draw. False when
// either model or its geometry is missing.
bool WeldDeformedSeams(Entity* a, Entity* b);

}  // namespace Zel
