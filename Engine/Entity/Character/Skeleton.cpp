#include "Entity/Character/Skeleton.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/SkeletonManager.h"
#include "Math/Matrix4.h"

namespace Zel {
namespace {

bool IsParentlessName(const std::string& parentName) {
    return parentName.empty() || parentName == "null" || parentName == "Scene Root";
}

bool Contains(std::string_view name, std::string_view part) {
    return name.find(part) != std::string_view::npos;
}

// Unit length in place; a zero vector stays zero.
void NormalizeExact(float* v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.0f) {
        for (int i = 0; i < 3; ++i) v[i] /= length;
    }
}

// The axes a bone's name fixes before its children are looked at; false when the name fixes none.
bool AxesByName(std::string_view name, std::int32_t* axes) {
    auto set = [axes](std::int32_t a, std::int32_t b, std::int32_t c) {
        axes[0] = a;
        axes[1] = b;
        axes[2] = c;
        return true;
    };
    if (name == "Bip01 Head" || name == "Bip01 Pelvis")
        return set(0, 2, 1);
    if (name == "Bip01 L Toe0" || name == "Bip01 R Toe0")
        return set(1, 2, 0);
    if (Contains(name, "ForeTwist1") || Contains(name, "UpArmTwist1") ||
        Contains(name, "ThighTwist1"))
        return set(0, 2, 1);
    return false;
}

const char* FaultText(SkeletonFault fault) {
    switch (fault) {
        case SkeletonFault::None:
            return "none";
        case SkeletonFault::RootOutOfRange:
            return "the root index lies outside the bone table";
        case SkeletonFault::OwnAncestor:
            return "a bone is its own ancestor";
        case SkeletonFault::ChildNotParented:
            return "a bone is listed as the child of a bone that is not its parent";
        case SkeletonFault::BrokenLink:
            return "an index does not match the bone table";
    }
    return "unknown";
}

}  // namespace

Skeleton::Skeleton(CResourceManager* manager, std::string_view name, std::string_view group,
                   std::uint32_t handle)
    : CResource(manager, name, group, handle) {}

Skeleton::~Skeleton() {
    ReleaseBones();
}

std::uint32_t Skeleton::GetSize() {
    return kBaseSize + kBytesPerBone * GetBoneCount();
}

bool Skeleton::LoadImpl() {
    auto* manager = dynamic_cast<SkeletonManager*>(GetManager());
    return manager && manager->LoadFromFile(*this, GetLoadPath());
}

bool Skeleton::LoadFromArgument(IZelStream* stream) {
    auto* manager = dynamic_cast<SkeletonManager*>(GetManager());
    return manager && manager->LoadFromStream(*this, stream);
}

std::int32_t Skeleton::GetBoneIndex(std::string_view name) const {
    for (std::size_t i = 0; i < bones_.size(); ++i) {
        if (name == bones_[i]->GetName())
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

Bone* Skeleton::FindBoneByName(std::string_view name) const {
    const std::int32_t index = GetBoneIndex(name);
    return index < 0 ? nullptr : bones_[static_cast<std::size_t>(index)];
}

std::vector<std::uint8_t> Skeleton::FindSplitBones() {
    std::vector<std::uint8_t> mask(bones_.size(), 0);
    for (std::size_t i = 0; i < bones_.size(); ++i) {
        const std::string_view name = bones_[i]->GetName();
        const auto index = static_cast<std::int32_t>(i);
        if (name == "Bip01" || name == "Bip01 Spine")
            mask[i] = 1;
        else if (name == "Bip01 Spine1")
            spineBone_ = index;
        else if (Contains(name, "Pelvis") || Contains(name, "Thigh") || Contains(name, "Calf") ||
                 Contains(name, "Foot") || Contains(name, "Toe"))
            mask[i] = 1;
        else if (name == "Bip01 Head")
            headBone_ = index;
        else if (Contains(name, "Waist"))
            spineBone_ = index;
    }
    return mask;
}

bool Skeleton::MapSpineToPelvis(std::string_view name, std::string& out) {
    if (name.size() != 11 || name != "Bip01 Spine")
        return false;
    out = "Bip01 Pelvis";
    return true;
}

void Skeleton::ComputeAllBoneAxes() {
    if (root_)
        ComputeBoneAxes(root_);
}

void Skeleton::ComputeBoneAxes(Bone* start) {
    if (!start)
        return;
    // A bone's axes depend only on itself and its children's positions, so the bones may be
    // visited in any order; an explicit stack keeps deep chains off the call stack. A checked
    // tree has no cycles; the visit count guards an unchecked one.
    std::vector<Bone*> pending{start};
    std::size_t visits = 0;
    while (!pending.empty() && visits++ <= bones_.size()) {
        Bone* bone = pending.back();
        pending.pop_back();
        std::int32_t axes[3] = {bone->GetAxes()[0], bone->GetAxes()[1], bone->GetAxes()[2]};
        const std::string_view name = bone->GetName();
        AxesByName(name, axes);
        if (!bone->GetChildren().empty()) {
            float frame[16];
            std::memcpy(frame, bone->GetBindMatrix(), sizeof(frame));
            frame[3] = frame[7] = frame[11] = 0.0f;
            const bool invertible = Matrix4::Inverse(frame);
            for (Bone* child : bone->GetChildren()) {
                float* d = bone->GetDirectionToChild();
                for (int k = 0; k < 3; ++k)
                    d[k] = child->GetModelPosition()[k] - bone->GetModelPosition()[k];
                NormalizeExact(d);
                if (invertible) {
                    float p[3];
                    for (int r = 0; r < 3; ++r)
                        p[r] = frame[4 * r] * d[0] + frame[4 * r + 1] * d[1] +
                               frame[4 * r + 2] * d[2] + frame[4 * r + 3];
                    const float w =
                        frame[12] * d[0] + frame[13] * d[1] + frame[14] * d[2] + frame[15];
                    if (w == 0.0f)
                        p[0] = p[1] = p[2] = 0.0f;
                    else if (w != 1.0f)
                        p[0] /= w, p[1] /= w, p[2] /= w;
                    NormalizeExact(p);
                    const float x = std::fabs(p[0]), y = std::fabs(p[1]), z = std::fabs(p[2]);
                    if (x > y && x > z)
                        axes[0] = 0, axes[1] = 1, axes[2] = 2;
                    else if (y > x && y > z)
                        axes[0] = 1, axes[1] = 0, axes[2] = 2;
                    else if (z > y && z > x)
                        axes[0] = 2, axes[1] = 0, axes[2] = 1;
                }
                if (name == "Bip01 Pelvis" || name == "Bip01 Neck" || name == "Bip01 Spine")
                    axes[0] = 0, axes[1] = 2, axes[2] = 1;
                pending.push_back(child);
            }
        }
        if (axes[0] >= 0)
            bone->SetAxes(axes[0], axes[1], axes[2]);
    }
}

Bone* Skeleton::AppendBone() {
    Factory<Bone>* factory = Globals::Find(&Globals::GetBoneFactory);
    Bone* bone = factory ? factory->Acquire() : nullptr;
    if (!bone) {
        LogError("Skeleton %s: no bone can be taken from the bone factory", GetName().c_str());
        return nullptr;
    }
    bone->SetIndex(static_cast<std::int32_t>(bones_.size()));
    bones_.push_back(bone);
    return bone;
}

Bone* Skeleton::BuildFromTree(const std::vector<SkeletonNode>& nodes) {
    ReleaseBones();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!AppendBone()) {
            ReleaseBones();
            return nullptr;
        }
    }
    // Names to node indices in node order, so that linking stays linear in the node count.
    std::unordered_map<std::string_view, std::vector<std::int32_t>> byName;
    std::unordered_map<std::string_view, std::vector<std::int32_t>> byParentName;
    for (std::size_t j = 0; j < nodes.size(); ++j) {
        byName[nodes[j].name].push_back(static_cast<std::int32_t>(j));
        if (!IsParentlessName(nodes[j].parentName))
            byParentName[nodes[j].parentName].push_back(static_cast<std::int32_t>(j));
    }
    auto others = [](const auto& map, const std::string& key, std::int32_t self) {
        std::vector<std::int32_t> found;
        if (auto it = map.find(key); it != map.end()) {
            for (std::int32_t j : it->second) {
                if (j != self)
                    found.push_back(j);
            }
        }
        return found;
    };
    std::int32_t root = -1;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const SkeletonNode& node = nodes[n];
        const auto i = static_cast<std::int32_t>(n);
        Bone* bone = bones_[n];
        bone->SetName(node.name);
        const std::vector<std::int32_t> children = others(byParentName, node.name, i);
        const bool parentless = IsParentlessName(node.parentName);
        if (parentless) {
            std::memcpy(bone->GetLocalPosition(), node.modelPosition, 3 * sizeof(float));
            if (!children.empty() || nodes.size() == 1)
                root = i;
        } else {
            std::memcpy(bone->GetLocalPosition(), node.localPosition, 3 * sizeof(float));
        }
        std::memcpy(bone->GetLocalRotation(), node.localRotation, 4 * sizeof(float));
        std::memcpy(bone->GetModelPosition(), node.modelPosition, 3 * sizeof(float));
        std::memcpy(bone->GetBindMatrix(), node.bindMatrix, 16 * sizeof(float));
        std::memcpy(bone->GetInverseBindMatrix(), node.bindMatrix, 16 * sizeof(float));
        if (!Matrix4::Inverse(bone->GetInverseBindMatrix())) {
            LogWarning("Skeleton %s: bone %s has a singular bind matrix", GetName().c_str(),
                       bone->GetName());
        }
        bone->SetParent(nullptr, -1);
        if (!parentless) {
            // A parent that comes later in the node order has no head flag yet; direct children
            // of the head are flagged by its name whatever the order.
            for (std::int32_t j : others(byName, node.parentName, i)) {
                Bone* parent = bones_[static_cast<std::size_t>(j)];
                bone->SetParent(parent, j);
                std::string_view parentName(nodes[static_cast<std::size_t>(j)].name);
                parentName = parentName.substr(0, Bone::kMaxNameLength);
                if (parentName == "Bip01 Head" || parent->IsHeadFlagged())
                    bone->SetFlags(bone->GetFlags() | Bone::kHeadFlag);
            }
        }
        for (std::int32_t j : children) bone->AddChild(bones_[static_cast<std::size_t>(j)], j);
    }
    rootIndex_ = root;
    if (FinishTree() != SkeletonFault::None) {
        ReleaseBones();
        return nullptr;
    }
    return root_;
}

SkeletonFault Skeleton::CheckTree() const {
    const auto count = static_cast<std::int64_t>(bones_.size());
    if (rootIndex_ < -1 || rootIndex_ >= count)
        return SkeletonFault::RootOutOfRange;
    std::vector<std::int32_t> listings(bones_.size(), 0);
    for (std::int64_t i = 0; i < count; ++i) {
        const Bone* bone = bones_[static_cast<std::size_t>(i)];
        if (!bone || bone->GetIndex() != i)
            return SkeletonFault::BrokenLink;
        const std::int32_t p = bone->GetParentIndex();
        if ((bone->GetParent() == nullptr) != (p == -1) ||
            (p != -1 &&
             (p < 0 || p >= count || bones_[static_cast<std::size_t>(p)] != bone->GetParent())))
            return SkeletonFault::BrokenLink;
        const auto& children = bone->GetChildren();
        const auto& childIndices = bone->GetChildIndices();
        if (children.size() != childIndices.size())
            return SkeletonFault::BrokenLink;
        for (std::size_t k = 0; k < children.size(); ++k) {
            const std::int32_t c = childIndices[k];
            if (c < 0 || c >= count || bones_[static_cast<std::size_t>(c)] != children[k])
                return SkeletonFault::BrokenLink;
            if (children[k]->GetParent() != bone || ++listings[static_cast<std::size_t>(c)] > 1)
                return SkeletonFault::ChildNotParented;
        }
    }
    // Walk each bone's parents once: 1 = on the current walk, 2 = known to reach a root.
    std::vector<std::uint8_t> state(bones_.size(), 0);
    std::vector<std::size_t> walk;
    for (std::size_t i = 0; i < bones_.size(); ++i) {
        walk.clear();
        std::size_t at = i;
        for (;;) {
            if (state[at] == 2)
                break;
            if (state[at] == 1)
                return SkeletonFault::OwnAncestor;
            state[at] = 1;
            walk.push_back(at);
            const std::int32_t p = bones_[at]->GetParentIndex();
            if (p < 0)
                break;
            at = static_cast<std::size_t>(p);
        }
        for (std::size_t b : walk) state[b] = 2;
    }
    return SkeletonFault::None;
}

SkeletonFault Skeleton::FinishTree() {
    evaluationOrder_.clear();
    root_ = nullptr;
    SkeletonFault fault = CheckTree();
    if (fault == SkeletonFault::None && bones_.empty() && rootIndex_ >= 0)
        fault = SkeletonFault::RootOutOfRange;
    if (fault != SkeletonFault::None) {
        LogError("Skeleton %s refused: %s", GetName().c_str(), FaultText(fault));
        return fault;
    }
    if (rootIndex_ >= 0)
        root_ = bones_[static_cast<std::size_t>(rootIndex_)];
    BuildEvaluationOrder();
    return SkeletonFault::None;
}

void Skeleton::BuildEvaluationOrder() {
    if (!root_)
        return;
    const std::int32_t pelvis = GetBoneIndex("Bip01 Pelvis");
    struct Open {
        std::int32_t step;
        std::size_t nextChild;
    };
    std::vector<Open> open;
    auto push = [&](const Bone* bone, std::int32_t parentStep) {
        BoneEvaluationStep step;
        step.bone = bone->GetIndex();
        step.parentStep = parentStep;
        if (parentStep >= 0) {
            const BoneEvaluationStep& parent =
                evaluationOrder_[static_cast<std::size_t>(parentStep)];
            step.parentBone = parent.bone;
            std::string pelvisName;
            if (parent.kind != BoneEvaluation::Body)
                step.kind = BoneEvaluation::Face;
            else if (bone->IsHeadFlagged())
                step.kind = BoneEvaluation::HeadFlagged;
            if (step.kind == BoneEvaluation::HeadFlagged)
                step.scaleSource = step.bone;
            else if (MapSpineToPelvis(bone->GetName(), pelvisName) && pelvis >= 0)
                step.scaleSource = pelvis;
            else
                step.scaleSource = parent.bone;
        } else {
            step.kind = bone->IsHeadFlagged() ? BoneEvaluation::HeadFlagged : BoneEvaluation::Body;
            step.scaleSource = step.bone;
        }
        evaluationOrder_.push_back(step);
        open.push_back({static_cast<std::int32_t>(evaluationOrder_.size() - 1), 0});
    };
    push(root_, -1);
    while (!open.empty()) {
        Open& top = open.back();
        BoneEvaluationStep& step = evaluationOrder_[static_cast<std::size_t>(top.step)];
        const Bone* bone = bones_[static_cast<std::size_t>(step.bone)];
        if (top.nextChild < bone->GetChildren().size()) {
            const Bone* child = bone->GetChildren()[top.nextChild++];
            push(child, top.step);
        } else {
            step.subtreeEnd = static_cast<std::int32_t>(evaluationOrder_.size());
            open.pop_back();
        }
    }
}

void Skeleton::ReleaseBones() {
    // Once Globals is shutting down the factory may be gone, and with it every bone it made.
    if (Factory<Bone>* factory = Globals::Find(&Globals::GetBoneFactory)) {
        for (Bone* bone : bones_) factory->Release(bone);
    }
    bones_.clear();
    sourceName_.clear();
    lowerBodyMask_.clear();
    root_ = nullptr;
    rootIndex_ = -1;
    headBone_ = -1;
    spineBone_ = -1;
    footBones_[0] = footBones_[1] = -1;
    evaluationOrder_.clear();
}

}  // namespace Zel
