#include "Entity/Character/BoneStateSet.h"

#include <cstring>

#include <emmintrin.h>

#include "Core/GlobalConfigManager.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/BoneStatePool.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/TransformMath.h"
#include "Math/MathUtil.h"

namespace Zel {
namespace {

// The first three rows of an affine matrix (its last row is 0 0 0 1: local poses, scale
// matrices and inverse bind matrices), held in 4-wide registers.
struct AffineRows {
    __m128 r0, r1, r2;
};

inline AffineRows LoadAffine(const float* b) {
    return {_mm_loadu_ps(b), _mm_loadu_ps(b + 4), _mm_loadu_ps(b + 8)};
}

// out = a b, a row of the product at a time. The left operand may be any matrix; out may alias a
// (every row is read before any is written).
inline void MultiplyByAffine(const float* a, const AffineRows& b, float* out) {
    // b's last row is 0 0 0 1, so a row's last term is that row's own w alone: kept by a mask
    // rather than spread and multiplied.
    const __m128 w = _mm_castsi128_ps(_mm_set_epi32(-1, 0, 0, 0));
    __m128 rows[4];
    for (int r = 0; r < 4; ++r) {
        const float* ar = a + 4 * r;
        rows[r] = _mm_add_ps(
            _mm_add_ps(_mm_mul_ps(_mm_set1_ps(ar[0]), b.r0), _mm_mul_ps(_mm_set1_ps(ar[1]), b.r1)),
            _mm_add_ps(_mm_mul_ps(_mm_set1_ps(ar[2]), b.r2), _mm_and_ps(_mm_loadu_ps(ar), w)));
    }
    for (int r = 0; r < 4; ++r) _mm_storeu_ps(out + 4 * r, rows[r]);
}

// T(t) R(q) S(s) (Matrix4::MakeTransform) built in registers: the tree evaluation makes one per
// bone per frame, and a matrix written float by float and read back four at a time would stall.
inline AffineRows ComposeLocal(const float* q, const float* t, const float* s) {
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    const float x2 = 2.0f * x, y2 = 2.0f * y, z2 = 2.0f * z;
    return {_mm_set_ps(t[0], (y2 * w + x * z2) * s[2], (x * y2 - z2 * w) * s[1],
                       (1.0f - (z * z2 + y * y2)) * s[0]),
            _mm_set_ps(t[1], (y * z2 - x2 * w) * s[2], (1.0f - (z * z2 + x * x2)) * s[1],
                       (x * y2 + z2 * w) * s[0]),
            _mm_set_ps(t[2], (1.0f - (x * x2 + y * y2)) * s[2], (x2 * w + y * z2) * s[1],
                       (x * z2 - y2 * w) * s[0])};
}

// The matrix applied to the point (p, 1), divided by the resulting w unless w is 1; w = 0 gives
// the origin.
inline void TransformPoint(const float* m, const float* p, float* out) {
    float v[4];
    for (int r = 0; r < 4; ++r)
        v[r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
    if (v[3] == 0.0f) {
        out[0] = out[1] = out[2] = 0.0f;
    } else if (v[3] != 1.0f) {
        for (int i = 0; i < 3; ++i) out[i] = v[i] / v[3];
    } else {
        out[0] = v[0], out[1] = v[1], out[2] = v[2];
    }
}

}  // namespace

BoneStateSet::~BoneStateSet() {
    Clear();
}

void BoneStateSet::Clear() {
    for (BoneState* state : states_) pool_.Release(state);
    states_.clear();
    frameStamps_.clear();
    evaluated_.clear();
}

void BoneStateSet::Rebuild(const Skeleton& skeleton) {
    Clear();
    states_.reserve(skeleton.GetBoneCount());
    for (const Bone* bone : skeleton.GetBones()) {
        BoneState* state = pool_.Acquire();
        std::memcpy(state->translation, bone->GetLocalPosition(), sizeof(state->translation));
        std::memcpy(state->rotation, bone->GetLocalRotation(), sizeof(state->rotation));
        std::memcpy(state->skinMatrix, IdentityMatrix(), sizeof(state->skinMatrix));
        state->boneIndex = bone->GetIndex();
        states_.push_back(state);
    }
    frameStamps_.assign(states_.size(), -1);
    evaluated_.assign(states_.size(), false);
    if (!states_.empty())
        states_[0]->flags |= BoneState::kNeeded;
}

void BoneStateSet::MarkBoneDirty(const Skeleton& skeleton, std::uint32_t n) {
    if (n >= states_.size())
        return;
    // The skeleton's check keeps the parent links acyclic and inside the table.
    for (const Bone* bone = skeleton.GetBone(n); bone; bone = bone->GetParent()) {
        const auto index = static_cast<std::size_t>(bone->GetIndex());
        if (index < states_.size())
            states_[index]->flags |= BoneState::kNeeded;
    }
}

void BoneStateSet::MarkMeshBonesDirty(const Skeleton& skeleton,
                                      std::span<const std::int32_t> palette) {
    for (std::int32_t index : palette) {
        if (index >= 0)
            MarkBoneDirty(skeleton, static_cast<std::uint32_t>(index));
    }
}

bool BoneStateSet::EvaluateBoneTree(const Skeleton& skeleton, const float* parentMatrix,
                                    bool boneScale) {
    if (!IsGlobalSwitchOn(kUpdateBoneMatricesSwitch))
        return false;
    const std::vector<BoneEvaluationStep>& order = skeleton.GetEvaluationOrder();
    // A set built for another skeleton is left alone rather than read out of range.
    if (skeleton.GetBones().size() != states_.size())
        return true;
    std::memcpy(lastParentMatrix_, parentMatrix, sizeof(lastParentMatrix_));
    lastBoneScale_ = boneScale;
    const std::size_t count = order.size();
    std::size_t i = 0;
    while (i < count) {
        const BoneEvaluationStep& step = order[i];
        if (!states_[static_cast<std::size_t>(step.bone)]->IsNeeded()) {
            i = static_cast<std::size_t>(step.subtreeEnd);
            continue;
        }
        EvaluateStep(skeleton, step);
        ++i;
    }
    return true;
}

void BoneStateSet::EvaluateStep(const Skeleton& skeleton, const BoneEvaluationStep& step) {
    const std::vector<Bone*>& bones = skeleton.GetBones();
    const bool boneScale = lastBoneScale_;
    BoneState& state = *states_[static_cast<std::size_t>(step.bone)];
    const float* parent = step.parentBone < 0
                              ? lastParentMatrix_
                              : states_[static_cast<std::size_t>(step.parentBone)]->modelMatrix;
    const float* inverseBind = bones[static_cast<std::size_t>(step.bone)]->GetInverseBindMatrix();
    if (step.kind == BoneEvaluation::Face) {
        const float diagonal[3] = {state.scaleMatrix[0], state.scaleMatrix[5],
                                   state.scaleMatrix[10]};
        const AffineRows local = ComposeLocal(state.rotation, state.translation, diagonal);
        MultiplyByAffine(parent, local, state.modelMatrix);
        MultiplyByAffine(state.modelMatrix, LoadAffine(inverseBind), state.skinMatrix);
    } else {
        float t[3] = {state.translation[0], state.translation[1], state.translation[2]};
        if (boneScale) {
            TransformPoint(states_[static_cast<std::size_t>(step.scaleSource)]->scaleMatrix,
                           state.translation, t);
        }
        static constexpr float kUnit[3] = {1.0f, 1.0f, 1.0f};
        const AffineRows local = ComposeLocal(state.rotation, t, kUnit);
        if (step.kind == BoneEvaluation::HeadFlagged && step.parentBone >= 0) {
            alignas(16) float placed[16];
            MultiplyByAffine(
                parent,
                LoadAffine(states_[static_cast<std::size_t>(step.parentBone)]->scaleMatrix),
                placed);
            MultiplyByAffine(placed, local, state.modelMatrix);
        } else {
            MultiplyByAffine(parent, local, state.modelMatrix);
        }
        if (boneScale) {
            alignas(16) float scaled[16];
            MultiplyByAffine(state.modelMatrix, LoadAffine(state.scaleMatrix), scaled);
            MultiplyByAffine(scaled, LoadAffine(inverseBind), state.skinMatrix);
        } else {
            MultiplyByAffine(state.modelMatrix, LoadAffine(inverseBind), state.skinMatrix);
        }
    }
    evaluated_[static_cast<std::size_t>(step.bone)] = true;
}

void BoneStateSet::EvaluateStalePath(const Skeleton& skeleton, std::uint32_t n) {
    if (!IsGlobalSwitchOn(kUpdateBoneMatricesSwitch) || skeleton.GetBones().size() != states_.size())
        return;
    const std::vector<BoneEvaluationStep>& order = skeleton.GetEvaluationOrder();
    std::int32_t at = -1;
    for (std::size_t i = 0; i < order.size() && at < 0; ++i)
        if (order[i].bone == static_cast<std::int32_t>(n))
            at = static_cast<std::int32_t>(i);
    // From bone n up to the first ancestor evaluated already, then evaluated top down.
    std::vector<std::int32_t> stale;
    for (; at >= 0; at = order[static_cast<std::size_t>(at)].parentStep) {
        if (evaluated_[static_cast<std::size_t>(order[static_cast<std::size_t>(at)].bone)])
            break;
        stale.push_back(at);
    }
    for (auto step = stale.rbegin(); step != stale.rend(); ++step)
        EvaluateStep(skeleton, order[static_cast<std::size_t>(*step)]);
}

const float* BoneStateSet::GetBoneWorldMatrix(const Skeleton& skeleton, std::uint32_t n,
                                              std::uint32_t frameId, const float* nodeWorldMatrix) {
    if (n >= states_.size())
        return IdentityMatrix();
    BoneState& state = *states_[n];
    if (frameStamps_[n] != frameId || n == 0 || skeleton.IsFootBone(static_cast<std::int32_t>(n))) {
        frameStamps_[n] = frameId;
        if (!state.IsNeeded())
            MarkBoneDirty(skeleton, n);
        // A bone no evaluation reached yet (nobody needed it, or no update ran since the
        // rebuild) holds no pose of this model: its path is evaluated now, as the last tree
        // evaluation would have, rather than a matrix of nothing handed out.
        if (!evaluated_[n])
            EvaluateStalePath(skeleton, n);
        MultiplyMatrices4(nodeWorldMatrix, state.modelMatrix, state.worldMatrix);
    }
    return state.worldMatrix;
}

void BoneStateSet::ResetBoneMatrices() {
    for (BoneState* state : states_)
        std::memcpy(state->scaleMatrix, IdentityMatrix(), sizeof(state->scaleMatrix));
}

}  // namespace Zel
