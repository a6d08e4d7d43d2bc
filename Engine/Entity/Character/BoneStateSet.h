// The bone states of one model, one per bone of its skeleton, and the work done on them each
// frame: marking the bones that must be evaluated, evaluating the bone tree into model and skin
// matrices, and the world matrix of a bone computed at most once per frame. The skeleton, the
// frame id and the node's world matrix are handed in by the model that owns the set.
//
// Matrices are row-major and act on column vectors (Matrix4.h); a child's model matrix is
// parent x local. The states come from a BoneStatePool (not owned, it must outlive the set) and go
// back to it when the set is rebuilt, cleared or destroyed.
//
// Threads: the thread that updates the model.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace Zel {

class BoneState;
class BoneStatePool;
struct BoneEvaluationStep;
class Skeleton;

class BoneStateSet {
public:
    // The global switch that lets evaluation change matrices ("update bone matrices").
    static constexpr std::uint32_t kUpdateBoneMatricesSwitch = 30;

    explicit BoneStateSet(BoneStatePool& pool) : pool_(pool) {}
    ~BoneStateSet();
    BoneStateSet(const BoneStateSet&) = delete;
    BoneStateSet& operator=(const BoneStateSet&) = delete;

    // Gives every state back, then takes one per bone of the skeleton in table order with the
    // bone's local bind pose and an identity skin matrix; no world matrix is current; only the
    // first state is needed.
    void Rebuild(const Skeleton& skeleton);
    // Gives every state back.
    void Clear();

    std::uint32_t GetCount() const { return static_cast<std::uint32_t>(states_.size()); }
    // State n (owned by the set), null out of range.
    BoneState* GetBoneState(std::uint32_t n) const {
        return n < states_.size() ? states_[n] : nullptr;
    }

    // Marks bone n and every ancestor of it needed; nothing out of range.
    void MarkBoneDirty(const Skeleton& skeleton, std::uint32_t n);
    // MarkBoneDirty for every palette entry below the bone count.
    void MarkMeshBonesDirty(const Skeleton& skeleton, std::span<const std::int32_t> palette);

    // Evaluates the tree from the skeleton's root under the parent matrix (16 floats), with the
    // bones' scale matrices applied when boneScale is on. A bone that is not needed keeps its
    // matrices, and so does its whole subtree. Answers false, changing nothing, while the global
    // update switch is off.
    bool EvaluateBoneTree(const Skeleton& skeleton, const float* parentMatrix, bool boneScale);

    // The world matrix of bone n (node world x model matrix; 16 floats owned by the set), made at
    // most once per frame id except for bone 0 and the foot bones, which are made on every call;
    // a bone that was not needed is marked needed. A bone no evaluation reached yet is evaluated
    // first, with its ancestors that none reached either, under the parent matrix and bone scale
    // of the last tree evaluation (identity and off before the first). The identity matrix for
    // n out of range.
    const float* GetBoneWorldMatrix(const Skeleton& skeleton, std::uint32_t n,
                                    std::uint32_t frameId, const float* nodeWorldMatrix);

    // Every scale matrix back to identity.
    void ResetBoneMatrices();

private:
    // One bone of the order under the last parent matrix and bone scale; marks it evaluated.
    void EvaluateStep(const Skeleton& skeleton, const BoneEvaluationStep& step);
    // Evaluates bone n and its ancestors that no evaluation reached, root side first. Nothing
    // while the update switch is off.
    void EvaluateStalePath(const Skeleton& skeleton, std::uint32_t n);

    BoneStatePool& pool_;
    std::vector<BoneState*> states_;
    // Per bone, the frame id its world matrix was made for; -1 for none.
    std::vector<std::int64_t> frameStamps_;
    // Per bone, whether an evaluation has made its matrices since the rebuild.
    std::vector<bool> evaluated_;
    float lastParentMatrix_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool lastBoneScale_ = false;
};

}  // namespace Zel
