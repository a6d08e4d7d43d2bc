// The shared bone table of a family of skinned models: a resource of the SkeletonManager, loaded
// once per figure file and shared by every model, action and action tree that uses it. Besides the
// ordered bones it knows a few bones of the biped naming scheme by role (head, spine split bone,
// two feet), the lower-body mask of layered animation, and the order in which the bone tree is
// evaluated (parent first, each bone's subtree a contiguous run).
//
// The bones come from the bone factory of Globals and go back to it when the table is released.
// A skeleton is filled once by a loader (BuildFromTree, or a reader that appends bones and then
// calls FinishTree) and read-only afterwards.
//
// Threads: loaded on the host's thread or inside a loading task, used on the host's thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Core/CResource.h"
#include "Core/RCInterfaceCarrier.h"
#include "Entity/Character/SkeletonNode.h"

namespace ZelI {
class ISkeleton;
}  // namespace ZelI

namespace Zel {

class Bone;

// Why a bone table was refused (0: it was not).
enum class SkeletonFault : int {
    None = 0,
    RootOutOfRange = 1,    // a root index at or beyond the bone count
    OwnAncestor = 2,       // a bone is its own ancestor
    ChildNotParented = 3,  // a bone listed among the children of a bone that is not its parent
    BrokenLink = 4,        // an index that does not match the table (own, parent or child index)
};

// How the bone tree evaluator treats one bone (see BoneStateSet::EvaluateBoneTree).
enum class BoneEvaluation : std::uint8_t {
    Body,         // below a parent, or the root
    HeadFlagged,  // the first head-flagged bone of its branch: placed with its parent's scale
    Face,         // below a head-flagged bone: scaled by its own scale matrix's diagonal
};

// One entry of the evaluation order.
struct BoneEvaluationStep {
    std::int32_t bone = -1;        // table index
    std::int32_t parentStep = -1;  // the parent's entry; -1 for the root
    std::int32_t subtreeEnd = 0;   // one past the last entry of this bone's subtree
    std::int32_t parentBone = -1;  // the parent's table index; -1 for the root
    // The bone whose scale matrix scales this bone's translation when bone scale is on.
    std::int32_t scaleSource = -1;
    BoneEvaluation kind = BoneEvaluation::Body;
};

class Skeleton : public CResource, public RCInterfaceCarrier<ZelI::ISkeleton> {
public:
    static constexpr std::uint32_t kBaseSize = 164;
    static constexpr std::uint32_t kBytesPerBone = 200;

    Skeleton(CResourceManager* manager, std::string_view name, std::string_view group,
             std::uint32_t handle);
    // Gives the bones back (ReleaseBones).
    ~Skeleton() override;

    // 164 + 200 per bone.
    std::uint32_t GetSize() override;
    // The file loader of the SkeletonManager over the load path; false without one.
    bool LoadImpl() override;
    // The stream loader of the SkeletonManager; false without one.
    bool LoadFromArgument(IZelStream* stream) override;
    void UnloadImpl() override { ReleaseBones(); }

    // The index of the first bone whose name equals the name byte for byte; -1 when none.
    std::int32_t GetBoneIndex(std::string_view name) const;
    // The same search answering the bone (not owned), or null.
    Bone* FindBoneByName(std::string_view name) const;
    Bone* FindBone(std::string_view name) const { return FindBoneByName(name); }

    // One byte per bone, 1 for a lower-body bone (empty for an empty table); sets the head bone
    // and the spine bone as side effects.
    std::vector<std::uint8_t> FindSplitBones();
    // True with out = "Bip01 Pelvis" when the name is exactly "Bip01 Spine".
    static bool MapSpineToPelvis(std::string_view name, std::string& out);

    // The bone axes of every bone reachable from the root; nothing without a root.
    void ComputeAllBoneAxes();
    // The axes of the bone and of every bone below it.
    void ComputeBoneAxes(Bone* bone);

    // Builds the table from the nodes (the old bones are given back first): one bone per node in
    // node order, linked to parent and children by name, then FinishTree. Answers the root bone;
    // null when no node qualifies as root, and null with the table released when FinishTree
    // refuses it (logged).
    Bone* BuildFromTree(const std::vector<SkeletonNode>& nodes);
    // For readers that fill the table themselves: a bone from the bone factory appended to the
    // table with its index set; null (logged) without a factory.
    Bone* AppendBone();
    // Sets the root index (the root bone follows in FinishTree).
    void SetRootIndex(std::int32_t index) { rootIndex_ = index; }
    // Checks the tree every builder must leave (root index inside the table, no bone its own
    // ancestor, every listed child parented by the bone that lists it, indices matching the
    // table) and builds the evaluation order. The reason of a refusal is logged and answered;
    // the table is then left as it is, without an evaluation order.
    SkeletonFault FinishTree();

    // Gives every bone back to the bone factory, empties the table, the source name and the
    // lower-body mask, and clears the root, the role bones and the evaluation order.
    void ReleaseBones();

    Bone* GetRootBone() const { return root_; }
    std::int32_t GetRootIndex() const { return rootIndex_; }
    std::uint32_t GetBoneCount() const { return static_cast<std::uint32_t>(bones_.size()); }
    // Bone i (not owned), null out of range.
    Bone* GetBone(std::uint32_t i) const { return i < bones_.size() ? bones_[i] : nullptr; }
    const std::vector<Bone*>& GetBones() const { return bones_; }

    const std::string& GetSourceName() const { return sourceName_; }
    void SetSourceName(std::string_view name) { sourceName_ = name; }
    const std::vector<std::uint8_t>& GetLowerBodyMask() const { return lowerBodyMask_; }
    void SetLowerBodyMask(std::vector<std::uint8_t> mask) { lowerBodyMask_ = std::move(mask); }
    // -1 when none.
    std::int32_t GetHeadBone() const { return headBone_; }
    // The head and spine bones as a skeleton file gives them.
    void SetRoleBones(std::int32_t head, std::int32_t spine) {
        headBone_ = head;
        spineBone_ = spine;
    }
    std::int32_t GetSpineBone() const { return spineBone_; }
    // The two foot bones (left, right), -1 each when none; their world matrices are refreshed
    // every time they are asked for.
    std::int32_t GetFootBone(int side) const { return footBones_[side & 1]; }
    void SetFootBone(int side, std::int32_t index) { footBones_[side & 1] = index; }
    bool IsFootBone(std::int32_t index) const {
        return index == footBones_[0] || index == footBones_[1];
    }

    // Parent first, in the children's order; empty until FinishTree accepted the table.
    const std::vector<BoneEvaluationStep>& GetEvaluationOrder() const { return evaluationOrder_; }

private:
    SkeletonFault CheckTree() const;
    void BuildEvaluationOrder();

    Bone* root_ = nullptr;
    std::int32_t rootIndex_ = -1;
    std::vector<Bone*> bones_;
    std::string sourceName_;
    std::vector<std::uint8_t> lowerBodyMask_;
    std::int32_t headBone_ = -1;
    std::int32_t spineBone_ = -1;
    std::int32_t footBones_[2] = {-1, -1};
    std::vector<BoneEvaluationStep> evaluationOrder_;
};

}  // namespace Zel
