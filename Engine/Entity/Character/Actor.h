// The character model: a skeleton model whose drawable pieces come from up to eighteen body-part
// files instead of one geometry. Slots 0-8 hold the nine body parts, slots 9-17 their cloth
// companions (slot n + 9 belongs to part n). Each slot keeps the file name it was loaded from,
// the body-part geometry it produced and the sub-entities made from that geometry's meshes, each
// drawn with one of the actor's forty own materials, chosen by the mesh's material number.
//
// The actor has a skeleton of its own, chosen by the figure kind of its face part (slot 2) and
// its sex, and resolves actions through the action trees of that skeleton. Each frame it
// advances its five channels, applies its pinch sliders, evaluates the bone tree and places its
// root point under its feet, locking the planted foot while one action hands over to the next
// when the host turned foot locking on.
//
// Pooled in its factory in Globals; each actor takes a new id from the actor id counter of
// Globals when it is built, and the body-part geometries it loads are owned by that id.
//
// Threads: the host thread (or a loading task in lock-step with it).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Entity/Character/ActionSampler.h"
#include "Entity/Character/ActorFootLock.h"
#include "Entity/Character/ActorTextureSplice.h"
#include "Entity/Character/Cloth.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/BodyPartCharacter.h"

namespace Zel {

class Actor;
class ActorMaterialLibrary;
class GeometryActor;
class GeometryBodyPart;
class GeometryCloth;
class ClothMeshData;
class PhxEntity;
class PhxScene;
class Image;
class MakeupState;
class TextureBase;
class GeometrySkin;
struct BodyPartEntry;
class Material;
class Mesh;
class PinchState;
class SubEntity;

class Actor : public SkeletonModel, public BodyPartCharacter {
public:
    static constexpr std::uint32_t kSlotCount = 18;
    static constexpr std::uint32_t kPartCount = 9;
    static constexpr std::uint32_t kMaterialSlotCount = 40;
    // Levels of detail 0 to 10 are accepted.
    static constexpr std::uint32_t kLodLevelCount = 11;
    // Global switches read here.
    static constexpr std::uint32_t kRunUpdateSwitch = 14;
    static constexpr std::uint32_t kUpdateActorSwitch = 26;
    static constexpr std::uint32_t kBodyTextureSwitch = 80;
    static constexpr std::uint32_t kDrawActorSwitch = 15;
    // Bits of the actor's flag word.
    static constexpr std::uint32_t kBodyTextureDirty = 0x1;
    // The figure kind with face bones, the one whose face parameters pinch accepts.
    static constexpr std::uint32_t kFaceFigureKind = 8;
    // Seconds between two snapshots of the feet while no root motion runs.
    static constexpr float kSnapshotInterval = 0.15f;

    Actor();
    // Releases every slot, the materials and the skeleton.
    ~Actor() override;
    ZEL_CLASS_ID(Actor)

    // The recycle step: slots, materials, pinch state and skeleton go; the flags return to their
    // constructed values; then the skeleton model's own reset.
    void Reset() override;

    // The kind of a body-part file name by its last three characters: "bp3"/"BP3" 15,
    // "bp4"/"BP4" 16, "bp5"/"BP5" 17; -1 for anything else.
    static int BodyPartKind(std::string_view name);

    // ---- Body parts ----
    // One part request, from its load to its take (a queued one only around its take): while it
    // lasts its slot counts as loading, so that parts linked to each other reload each other
    // once. The outermost request of a nest is the one to refresh the actor afterwards.
    class PartRequest {
    public:
        PartRequest(Actor& actor, std::uint32_t slot);
        ~PartRequest();
        PartRequest(const PartRequest&) = delete;
        PartRequest& operator=(const PartRequest&) = delete;
        bool IsOutermost() const { return outermost_; }

    private:
        Actor& actor_;
        bool outermost_;
    };

    // Loads the part into the slot (0-17) and makes its sub-entities; true at once when the slot
    // already holds that name. A missing or invalid part is logged and answers false, leaving
    // the slot empty. ".bp5" parts go through SetBodyPart5.
    bool SetBodyPart(std::uint32_t slot, const std::string& name);
    // The id of the last queued part task; 0 before any.
    std::uint32_t GetLastBodyPartTask() const { return lastPartTask_; }
    void SetLastBodyPartTask(std::uint32_t id) { lastPartTask_ = id; }
    // Takes the part in the slot off: its sub-entities go back, and a part's (0-8) cloth
    // companion with it; the render and material lists drop them and the body texture is
    // rebuilt before the next draw. Nothing for a slot out of range.
    void RemoveBodyPart(std::uint32_t slot);
    // A ".bp5" part from the "newbpoutput" folder into part slot 0-8, its meshes drawn with the
    // material library's copies; true at once when the slot already holds that name.
    bool SetBodyPart5(std::uint32_t slot, const std::string& name);
    // Releases the slot and loads the ".bp5" part's geometry entry; null when actor creation is
    // switched off or there is no actor geometry.
    BodyPartEntry* BeginLoadBodyPart5(std::uint32_t slot, const std::string& name);
    // Takes a loaded ".bp5" entry into the slot: the part's description is read as a material
    // library, each mesh of the chosen skin gets a sub-entity with the library's copy, and the
    // description's own materials are given back; the cloth of the part it replaces goes and the
    // parts linked to the slot load again. A missing or invalid entry is logged ("test entity")
    // and answers false, leaving the slot released.
    bool TakeBodyPart5(std::uint32_t slot, BodyPartEntry* entry, const std::string& name);
    // Releases the slot and loads the part's geometry through the actor's body-part geometry;
    // null when actor creation is switched off or the part does not load.
    GeometryBodyPart* BeginLoadBodyPart(std::uint32_t slot, const std::string& name);
    // Takes the geometry into the slot: one sub-entity per mesh of the skin its link records
    // choose, each with its actor material; the parts that link to this slot are loaded again
    // (each at most once per request, so parts that link to each other do not reload each other
    // without end) and the cloth companion is loaded. False, logged, for a missing geometry.
    bool ProcessBodypartMaterial(GeometryBodyPart* geometry, std::uint32_t slot,
                                 const std::string& name);
    // After any part change: the skeleton of the face part's figure kind, and the channels
    // playing on as they were.
    void RefreshAfterBodyPart();
    // Gives the slot's sub-entities back and empties its name and geometry.
    void ReleaseBodypart(std::uint32_t slot);
    // Every slot, the material lists and the materials; the body-part geometry entries of the
    // actor id too unless asked to keep them.
    void ReleaseAll(bool keepEntries);
    // The skeleton of the figure kind and the actor's sex (when the action library is in use).
    // Answers whether the skeleton changed; a change rebuilds the bone states and drops the
    // pinch state; kind 8 then makes a new one.
    virtual bool LoadSkeleton(std::uint32_t kind);
    virtual bool LoadDefaultSkeleton() { return LoadSkeleton(0); }

    // The slot's geometry (null when empty or slot >= 18), name and sub-entities.
    GeometryBodyPart* GetBodyPartGeometry(std::uint32_t slot) const;
    const std::string& GetBodyPartName(std::uint32_t slot) const;
    const std::vector<SubEntity*>& GetSlotSubEntities(std::uint32_t slot) const;
    // The actor description's geometry (Entity::GetGeometry), null before one is loaded.
    GeometryActor* GetActorGeometry() const;
    std::uint32_t GetGeometryKind() const override;

    // The entity copy, then the target (an actor) loads every part this actor wears.
    void CopyTo(SceneNode* target, bool withParent) override;
    // Cloning: the source's level of detail and sex, every slot released and the actor id's
    // entries dropped; then (mode 2) each of the source's parts shared into the same slot, the
    // parts refreshed and channels 1-3 restarted. True when the parts were taken.
    bool CloneFrom(const Actor& source, std::uint32_t mode);
    void ReleaseAllBodyParts(const Actor& source);
    bool CopyBodyPartsFrom(const Actor& source, std::uint32_t mode);
    // The part another actor loaded under that name, shared into the slot (a ".bp5" part drawn
    // with this actor's own library copies, its cloth companion loaded); false when actor
    // creation is off or no other actor holds it.
    bool LoadClonePart(std::uint32_t slot, const std::string& name);

    // The value every sub-entity but those of slots 1 and 2 hands to its render operation (the
    // colour-stylising pass sets it around its own drawing).
    void SetPartsFloat(float value);

    // The parts flag: each part mesh (slots 0-8) is drawn as built only while it is set (its
    // render-enable flag), and each simulated cloth piece (slots 9-17) is enabled by it; the
    // actor keeps the value. Set (1) when the actor is made and when it goes back to its factory.
    void SetPartsFlag(std::uint8_t flag);
    std::uint8_t GetPartsFlag() const { return partsFlag_; }
    // A float of the host's kept with the actor; 0 when it is made.
    void SetHostValue(float value) { hostValue_ = value; }
    float GetHostValue() const { return hostValue_; }

    // Levels 0 to 10; others (negative ones read as large) are ignored.
    void SetLodLevel(std::int32_t level);
    std::int32_t GetLodLevel() const { return lodLevel_; }
    // Channels 1 to 3 play their current actions again from the start.
    bool RestartChannels();

    void SetSex(std::uint8_t sex) { sex_ = sex; }
    std::uint32_t GetFlagWord() const { return flagWord_; }

    // ---- Cloth companions (slots 9-17) ----
    // Global switches that keep cloth companions from loading.
    static constexpr std::uint32_t kNoClothSwitch = 32;
    static constexpr std::uint32_t kNoClothSwitch2 = 33;
    // Loads the cloth companion into the slot: nothing with either no-cloth switch on, or when
    // force is off and the slot already names that file. Otherwise the slot is released, takes
    // the name, and holds the cloth geometry built for the actor's skeleton (a ".bp5" companion
    // from the new-part folder); a file that is missing or does not build leaves the slot empty
    // with the name kept (false). The cloth pieces of a geometry the physics scene simulates are
    // built by BuildClothPieces, a ".bp5" companion's drawn with the material library's cloth
    // copies (the physics ones for simulated pieces), which hold the body texture in their first
    // pass and are given back when the slot is released.
    bool LoadClothPart(std::uint32_t slot, const std::string& name, bool force);
    // Queued part loads (loading thread, under the main lock): the physics cloth of each
    // simulated mesh of the part's cloth companion, made now under the physics mutex and kept
    // until the companion's pieces are built on the host's side, which take them. Nothing unless
    // physics runs. DropPreparedCloth releases what no piece took.
    void PrepareClothCompanion(std::uint32_t partSlot, const std::string& partName);
    void DropPreparedCloth();
    // The cloth geometry of slot 9-17; null when empty.
    GeometryCloth* GetClothGeometry(std::uint32_t slot) const {
        return slot < kSlotCount ? slots_[slot].cloth : nullptr;
    }
    // Reloads (forced) the companion of every slot 9-17 holding a cloth piece; clears node flag
    // 0x10.
    void RebuildCloth();
    // Every simulated piece's physics entity is woken (on) or rested (off) and told; the actor
    // takes the value, and turning it on also sets the process-wide cloth switch.
    void SetClothPhysics(bool on);
    bool IsClothPhysics() const { return clothPhysics_; }
    // Every frame: each cloth piece of slots 9-17 follows the process-wide cloth switch and
    // poses itself, simulated while the actor's cloth physics and the physics switch are on. A
    // sub-entity without a mesh is passed over.
    void StepCloth(float dt);

    // ---- Materials ----
    // The material slot of a mesh material name: one or two characters are read as a number
    // 0-20 selecting a row of the slot table (a non-number reads as 0); longer names, and numbers
    // out of range (logged), take the first row. The cloth column serves cloth meshes built
    // while physics runs.
    static std::uint32_t GetPartMaterialIndex(const std::string& materialName, bool cloth);
    // The render settings word of material slot s (0 past the table).
    static std::uint32_t GetMaterialSettings(std::uint32_t slot);
    // The material of the mesh (created on first use); two-sided blended slots get the
    // two-pass effect unless the part file's name marks it otherwise.
    Material* GetPartMaterial(const std::string& partName, const Mesh& mesh);
    Material* GetOrCreatePartMaterial(const std::string& materialName, bool cloth);
    // Pass 1 becomes a copy of pass 0 culling the other side.
    void GenerateShader(Material& material);
    // Drops the actor's reference to each of its materials; a material no one else holds is
    // deleted, one still held elsewhere is deleted once its last other holder has let it go.
    // Then the material library's copies no part holds are collected and leftovers reported.
    void ReleaseMaterials();
    // The copies of the ".bp5" parts' materials.
    ActorMaterialLibrary& GetMaterialLibrary() { return *materialLibrary_; }
    // Material slot s (owned by the actor), null when not made.
    Material* GetActorMaterial(std::uint32_t slot) const;
    // Every sub-entity of the eighteen slots in slot order: blended materials to the blended list,
    // the others to the opaque list.
    void RebuildRenderLists();
    const std::vector<SubEntity*>& GetOpaqueList() const { return opaque_; }
    const std::vector<SubEntity*>& GetBlendedList() const { return blended_; }
    // Per material slot, the sub-entities drawn with that slot's material.
    void BuildMaterialLists();
    // After the parts changed: the body texture rebuilt when marked, the material lists and the
    // render lists again, every sub-entity refreshed at the next frame, the parts' images
    // unloaded, the picking octree dropped. (Seam welding belongs to its own code, which this
    // actor does not carry yet.)
    void RebuildMaterials();
    bool IsRefreshAllPending() const { return refreshAll_; }
    // The actor's own one-sided materials (the even slots) draw both faces while twoSided is set
    // and cull clockwise faces otherwise; every existing material then takes its effect again.
    void SetMaterialsTwoSided(bool twoSided);
    const std::vector<SubEntity*>& GetMaterialList(std::uint32_t slot) const;

    // ---- Spliced body texture ----
    static bool GetPartTexSize(std::uint32_t part, std::uint32_t* width, std::uint32_t* height) {
        return Zel::GetPartTexSize(part, width, height);
    }
    static const PartTexRect& GetPartTexRect(std::uint32_t part) {
        return Zel::GetPartTexRect(part);
    }
    static const PartTexRect& GetPartTexRectAlt(std::uint32_t part) {
        return Zel::GetPartTexRectAlt(part);
    }
    // Keeps a copy of a caller's B, G, R, A image to be pasted over the part (0-8) at (u, v) of
    // its rectangle at the next rebuild; see CustomTexture::Set for what is refused.
    bool SetCustomTexture(std::uint32_t part, float u, float v, std::uint32_t width,
                          std::uint32_t height, const std::uint8_t* data, std::uint64_t bufferSize);
    // SetCustomTexture, then at once a rebuild with it, after which the parts' images are
    // unloaded and the custom image is dropped (a later rebuild draws the body without it).
    bool ApplyCustomTexture(std::uint32_t part, float u, float v, std::uint32_t width,
                            std::uint32_t height, const std::uint8_t* data,
                            std::uint64_t bufferSize);
    const CustomTexture& GetCustomTexture() const { return custom_; }
    // With the body-texture switch on, while a part is worn and the texture is marked for a
    // rebuild: the parts' images composed into the atlas, scaled to the level of detail's size,
    // written into a texture (recycled or new, "ActorTexture") and bound to the materials.
    void RebuildBodyTexture();
    // Every pass of the actor's materials, and of every material its slots draw with, lets the
    // body texture go.
    void ReleaseBodyTextures();
    // Every pass of the actor's materials, and of every material its slots draw with (the
    // library's copies among them), takes the body texture in its first stage.
    void ApplyBodyTexture();
    TextureBase* GetBodyTexture() const { return bodyTexture_.Get(); }
    // The clone's body texture: with a shader device (vertex and pixel shaders 1.1, not drawing
    // fixed-function) a device copy of the source's texture with every level; otherwise, or when
    // the copy fails, rebuilt from the parts (logged). Always true.
    bool CloneTextures(const Actor* source);
    // The image part n's block of the atlas is composed from (the one the part's link records
    // chose, or one put in its place such as the made-up face); null when none.
    Image* GetPartImage(std::uint32_t part) const {
        return part < kSlotCount ? slots_[part].image : nullptr;
    }
    void SetPartImage(std::uint32_t part, Image* image) {
        if (part < kSlotCount)
            slots_[part].image = image;
    }
    void MarkBodyTextureDirty() { flagWord_ |= kBodyTextureDirty; }
    // The parts' images are read again for each composition: after a build they are unloaded.
    void UnloadPartImages();

    // ---- Drawing ----
    // The pipes draw the pieces of the body-part slots, not the entity's own list: the marks are
    // cleared on every slot piece, and while drawing actors is switched on the opaque and then
    // the blended list (made again from the slots first) queue themselves. A body texture marked
    // for a rebuild (parts, make-up or a clone changed it) is built once, before the pieces are
    // queued. Host thread only.
    void ClearRenderMarks() override;
    void ClearOncePerFrameMarks() override;
    // While the bounds are out of date and a slot holds pieces: the world box holds every piece
    // as its palette's bones pose it (each bone's pose of the mesh's box, merged), so culling by
    // it never drops a visible part. Without pieces, the skeletal model's box.
    void UpdatePlacement() override;
    void AddSubEntitiesToQueue(RenderQueue* queue, Light* light, Material* material) override;
    void AddSubEntitiesForLight(RenderQueue* queue, Light* light, Material* material) override;
    // The slots' pieces cast: the actor's own piece list stays empty.
    void AddShadowCasters(RenderQueue* queue, Shadow* shadow) override;

    // ---- Per-frame update ----
    void Update(std::uint32_t* counter, float dt, std::uint32_t frameId) override;
    // The point under the feet placed by the last update (model's node space, as the feet's
    // world matrices give it).
    const float* GetRootPoint() const { return rootPoint_; }
    const FootLockState& GetFootLockState() const { return footLock_; }

    // ---- Pinch ----
    // Stores a slider value: ids 6-32 are refused, ids 33 and above need the face figure; the
    // first value makes the pinch state and turns bone scaling on.
    bool SetPinchValue(std::int32_t id, float value);
    PinchState* GetPinchState() const { return pinch_.get(); }

    // ---- Make-up ----
    // Only with the face-bone figure on the face part and a make-up state: layer 13 composes the
    // face with its make-up, puts the result in the face's place in the body texture and rebuilds
    // it (false, the texture left as it was, when nothing could be composed); other layers store
    // the choice (MakeupState::Set).
    bool SetMakeupValue(std::int32_t layer, std::int32_t style, std::int32_t colour);
    MakeupState* GetMakeupState() const { return makeup_.get(); }

    // ---- ActionOwner ----
    // FindTreeAction looks the name up in the action tree of the actor's own skeleton;
    // FindAction then in the skeleton's shared action set. Null when neither holds it.
    Action* FindAction(std::string_view name) override;
    Action* FindTreeAction(std::string_view name) override;
    Action* GetAnimation(const std::string& name) override;
    // The actor's own skeleton; the default figure is loaded on first request.
    Skeleton* GetSkeleton() override;
    std::uint8_t GetFigure() const override { return sex_; }
    bool IsNewActor() const override { return false; }

    // ---- BodyPartCharacter ----
    std::int32_t GetCharacterId() const override { return actorId_; }
    std::int32_t GetSex() const override { return sex_; }
    std::string GetSkeletonName() const override;

    // -1 when no counter existed at construction.
    std::int32_t GetActorId() const { return actorId_; }

protected:
    // ---- What the newer character (NewActor) does its own way ----
    // Around the meshes of one part taking their materials.
    virtual void BeginPartMaterials(const std::string& /*partName*/) {}
    virtual void EndPartMaterials() {}
    // The material a part mesh is drawn with.
    virtual Material* TakePartMaterial(const std::string& partName, const Mesh& mesh) {
        return GetPartMaterial(partName, mesh);
    }
    // After a slot's sub-entities went back, with the materials they were drawn with: the
    // material library's copies among them lose the reference of their use.
    virtual void OnSlotReleased(const std::vector<Material*>& materials);
    // The cloth companion a body part of that name loads into its cloth slot; empty for none.
    // An actor's part names its companion whether or not the file exists.
    virtual std::string ClothCompanionOf(const std::string& partName) const;
    // The material a sub-mesh of the cloth in slot 9-17 is drawn with, for a simulated piece or
    // a solid sub-entity: the library's cloth copies for a ".bp5" companion (one reference for
    // the use, given back through OnSlotReleased), else the actor material of its name.
    virtual Material* TakeClothMaterial(std::uint32_t slot, const Mesh& subMesh, bool simulated);
    // The skeleton of the figure variant and the actor's sex (the new figures with newFigure);
    // answers whether it changed. A change rebuilds the bone states, marks them all needed and
    // drops the pinch state.
    bool AssignSkeleton(std::optional<char> variant, bool newFigure);

private:
    struct Slot {
        std::string name;
        GeometryBodyPart* geometry = nullptr;  // held by the actor geometry's entry
        std::vector<SubEntity*> subEntities;   // owned (back to the SubEntity factory)
        Image* image = nullptr;                // the part's texture image (held by the geometry)
        GeometryCloth* cloth = nullptr;        // slots 9-17 (held by the actor geometry's entry)
        std::vector<std::unique_ptr<Cloth>> pieces;  // the slot's cloth pieces (owned)
    };
    // One sub-entity per sub-mesh of every cloth mesh of the geometry: with physics off a solid
    // one drawing the sub-mesh, with physics on a Cloth piece (simulated by a physics entity
    // when the runtime runs). A piece that does not build is taken out with its sub-entity.
    void BuildClothPieces(std::uint32_t slot, GeometryCloth& cloth);
    // The piece's sub-entity back to the factory (its material's use given back) and the piece
    // destroyed.
    void DropClothPiece(Slot& slot, Cloth* piece);
    // A ".bp5" cloth on an actor, drawn with the library's copies (a NewActor's pieces take
    // its own).
    bool IsBp5Cloth(const std::string& name) const;
    // The companion a part loads after it: a ".bp5" part's only when its file is there.
    std::string CompanionToLoad(const std::string& partName) const;
    // The actor geometry's entry of the cloth companion for the slot (a ".bp5" one from the
    // new-part folder); null without one.
    BodyPartEntry* BuildClothEntry(std::uint32_t slot, const std::string& name);
    // A physics cloth for the mesh at the actor's place, under the physics mutex; null when the
    // scene makes none.
    PhxEntity* CreateClothEntity(PhxScene& scene, const ClothMeshData& data);
    // The parts composed into the atlas scratch buffer (bottom-up for DXT); false when no part
    // had an image to lay.
    void ComposeBodyParts(std::uint8_t* atlas, bool dxt);
    // A part of the family the other character kind is made for (".bp4" on an actor, ".bp3" on
    // the newer character): composed all the same, with a log line.
    bool IsPartOfOtherCharacter(const GeometryBodyPart& part) const;
    // The texture of the size and format: from the recycle bin above level 0, else a new one.
    TextureBase* ObtainBodyTexture(std::uint32_t width, std::uint32_t height, std::int32_t format);
    // The size and format of the body texture at the actor's level of detail.
    void BodyTextureShape(std::uint32_t* width, std::uint32_t* height, std::int32_t* format) const;
    // The copy of CloneTextures; false (logged) when it could not be made.
    bool CopyBodyTexture(const Actor* source);
    // Binds the texture in place of the one held, which goes to the recycle bin (above level 0)
    // or is destroyed.
    void BindBodyTexture(TextureBase* texture);
    // The material's first stage takes the body texture, in every pass or in the first only.
    void TakeBodyTexture(Material& material, bool allPasses);
    void RetireBodyTexture(SharedPtr<TextureBase> previous);

    void UpdateAnimation(float dt);
    void PlaceRoot(float dt);
    // The planted foot for the first decision of a root-motion episode.
    int FirstDecision(const AnimationChannel& channel, const float feet[2][3], const float root[3],
                      float phase);
    void SecondDecision(AnimationChannel& channel, const float feet[2][3], float phase);
    // The feet and the reference bone at time 0 of the channel's pending action, composed from
    // their tracks up to the root; false when a bone of a chain has no track.
    bool PredictFootPositions(const AnimationChannel& channel);
    void TakeSnapshot(const float feet[2][3], const float root[3]);
    // The root point from the feet: the planted foot with locking on, else the midpoint.
    void RootFromFeet(const float feet[2][3]);
    // Moves every bone by (x, y, 0) in model space, keeping the skin matrices model-relative.
    void ShiftBones(float x, float y);
    void ReadFeet(float feet[2][3], float root[3]);
    Material* CreateMaterial(std::uint32_t slot);
    // The slot released for a new part; false, nothing released, when actor creation is off.
    bool ReleaseForLoad(std::uint32_t slot);
    // The part slots whose link records name this slot load their parts again.
    void ReloadLinkedParts(std::uint32_t slot);
    // One sub-entity per mesh of the skin, drawn with the material materialOf gives, appended to
    // the slot's list.
    template <class MaterialOf>
    void AddSubEntities(std::uint32_t slot, GeometrySkin& skin, MaterialOf materialOf);
    void SweepRetiredMaterials();
    // Every piece of every slot, in slot order.
    template <class Fn>
    void ForEachSlotPiece(Fn fn) const;
    // The opaque then the blended list, made again from the slots, through `add`.
    void QueueRenderLists(RenderQueue* queue, Light* light, Material* material,
                          void (SubEntity::*add)(RenderQueue*, Light*, Material*));
    // The channels' current and next actions again by name (through the new skeleton).
    void ReplayChannels();
    // The tree id an action of that (file) name was found by; the name itself when none.
    std::string TreeIdOf(const std::string& actionName) const;

    std::array<Slot, kSlotCount> slots_;
    std::vector<SubEntity*> opaque_;
    std::vector<SubEntity*> blended_;
    // The slots' pieces gathered for the shadow casters' queue; kept for its storage, which
    // every shadow pass of every frame would otherwise allocate again.
    std::vector<SubEntity*> casters_;
    std::array<Material*, kMaterialSlotCount> materials_{};  // one reference each
    std::vector<Material*> retired_;  // released by the actor, still held by others
    std::array<std::vector<SubEntity*>, kMaterialSlotCount> materialLists_;
    std::uint32_t flagWord_ = 0;
    Skeleton* skeleton_ = nullptr;  // one reference through the skeleton manager
    std::uint8_t sex_ = 0;
    bool refreshAll_ = false;
    bool clothPhysics_ = true;
    std::uint8_t partsFlag_ = 1;
    float hostValue_ = 0.0f;
    std::uint32_t lastPartTask_ = 0;
    std::int32_t lodLevel_ = 0;
    std::int32_t actorId_ = -1;
    std::unique_ptr<PinchState> pinch_;
    std::unique_ptr<MakeupState> makeup_;
    SharedPtr<TextureBase> bodyTexture_;
    CustomTexture custom_;
    std::unique_ptr<ActorMaterialLibrary> materialLibrary_;
    // The slots a part request is loading, so that linked parts load each other only once.
    std::set<std::uint32_t> loading_;
    std::map<std::string, std::string> treeIds_;  // action name -> tree id
    // Physics cloths made ahead on the loading thread, by cloth slot: the companion's name and
    // one entity (or null) per mesh, each owned until a piece takes it.
    struct PreparedCloth {
        std::string name;
        std::vector<PhxEntity*> entities;
    };
    std::map<std::uint32_t, PreparedCloth> preparedCloth_;

    float rootPoint_[3] = {0.0f, 0.0f, 0.0f};
    float rootPosition_[3] = {0.0f, 0.0f, 0.0f};
    FootLockState footLock_;
    ActionSampler predictor_;
};

}  // namespace Zel
