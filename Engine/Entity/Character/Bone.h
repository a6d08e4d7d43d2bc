// One bone of a skeleton's bone table: its name, its place in the tree, its bind pose and the axes
// that bone-scale presets and sculpting work along. Pooled in the bone factory of Globals; the
// skeleton that holds a bone fills it and gives it back. The links to parent and children are
// non-owning references into the same table. Matrices are row-major and act on column vectors
// (Matrix4.h): the translation stands in elements 3, 7 and 11.
//
// Threads: filled by the thread that loads its skeleton, read-only afterwards.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "Core/RCInterfaceCarrier.h"
#include "Core/RecycledObject.h"

namespace ZelI {
class IBone;
}  // namespace ZelI

namespace Zel {

class Bone : public RecycledObject, public RCInterfaceCarrier<ZelI::IBone> {
public:
    // Flag bits.
    static constexpr std::uint32_t kHeadFlag = 0x1;  // lies below "Bip01 Head"
    // The name holds up to this many characters; longer names are cut.
    static constexpr std::size_t kMaxNameLength = 31;

    // Empty name, id 0, index -1, no parent (parent index -1), bind pose the identity, axes
    // unset, the three mode words 2, 0, 1.
    Bone();
    ~Bone() override = default;
    // Back to the freshly constructed state (the host wrapper unbound); the bone factory calls
    // it on release. The weight value keeps what it held.
    void Reset() override;

    const char* GetName() const { return name_; }
    // Copies the first kMaxNameLength characters of the name.
    void SetName(std::string_view name);

    std::uint32_t GetFlags() const { return flags_; }
    void SetFlags(std::uint32_t flags) { flags_ = flags; }
    bool IsHeadFlagged() const { return (flags_ & kHeadFlag) != 0; }

    // The bone's own position in its skeleton's table (-1 until the skeleton places it); it is
    // also the id word the host reads.
    std::int32_t GetIndex() const { return index_; }
    void SetIndex(std::int32_t index) {
        index_ = index;
        id_ = static_cast<std::uint32_t>(index < 0 ? 0 : index);
    }
    // The host's bone id.
    std::uint32_t GetId() const { return id_; }
    void SetId(std::uint32_t id) { id_ = id; }
    std::uint32_t GetReservedWord() const { return reserved_; }
    void SetReservedWord(std::uint32_t word) { reserved_ = word; }

    // Null (parent index -1) for a bone without a parent.
    Bone* GetParent() const { return parent_; }
    std::int32_t GetParentIndex() const { return parentIndex_; }
    void SetParent(Bone* parent, std::int32_t parentIndex) {
        parent_ = parent;
        parentIndex_ = parentIndex;
    }

    // Children and their table indices, in the same order.
    const std::vector<Bone*>& GetChildren() const { return children_; }
    std::uint32_t GetChildCount() const { return static_cast<std::uint32_t>(children_.size()); }
    // Child i; null past the end.
    Bone* GetChild(std::uint32_t i) const { return i < children_.size() ? children_[i] : nullptr; }
    const std::vector<std::int32_t>& GetChildIndices() const { return childIndices_; }
    void AddChild(Bone* child, std::int32_t childIndex) {
        children_.push_back(child);
        childIndices_.push_back(childIndex);
    }

    // Bind pose relative to the parent: position (3 floats) and rotation (x, y, z, w).
    float* GetLocalPosition() { return localPosition_; }
    const float* GetLocalPosition() const { return localPosition_; }
    float* GetLocalRotation() { return localRotation_; }
    const float* GetLocalRotation() const { return localRotation_; }
    // Bind position in model space (3 floats).
    float* GetModelPosition() { return modelPosition_; }
    const float* GetModelPosition() const { return modelPosition_; }

    // Bone space to model space in the bind pose, and its inverse (16 floats each).
    float* GetBindMatrix() { return bindMatrix_; }
    const float* GetBindMatrix() const { return bindMatrix_; }
    float* GetInverseBindMatrix() { return inverseBindMatrix_; }
    const float* GetInverseBindMatrix() const { return inverseBindMatrix_; }
    // The bind pose relative to the parent bone (16 floats), written by the skeleton loaders.
    float* GetParentRelativeMatrix() { return parentRelativeMatrix_; }
    const float* GetParentRelativeMatrix() const { return parentRelativeMatrix_; }

    // Length axis, cross axis 1 and cross axis 2: a permutation of 0, 1, 2 (x, y, z); -1 each
    // while unset.
    const std::int32_t* GetAxes() const { return axes_; }
    bool HasAxes() const { return axes_[0] >= 0; }
    // Sets the three axes and the axis matrix, whose rows are the unit vectors of cross axis 1,
    // cross axis 2 and the length axis.
    void SetAxes(std::int32_t length, std::int32_t cross1, std::int32_t cross2);
    // 9 floats, row-major; zero while the axes are unset.
    const float* GetAxisMatrix() const { return axisMatrix_; }
    // Unit vector from the bone to its (last) child in model space.
    float* GetDirectionToChild() { return directionToChild_; }
    const float* GetDirectionToChild() const { return directionToChild_; }

    // Values the character code keeps per bone: a list of words, a weight, three mode words and
    // three four-float groups (initially (1, 0, 0, 1), (0, 0, 0, 1), (0, 0, 0, 1)).
    std::vector<std::uint32_t>& GetWordList() { return wordList_; }
    float GetWeight() const { return weight_; }
    void SetWeight(float weight) { weight_ = weight; }
    std::uint32_t* GetModeWords() { return modeWords_; }
    const std::uint32_t* GetModeWords() const { return modeWords_; }
    float* GetGroup(std::uint32_t i) { return groups_[i % 3]; }
    const float* GetGroup(std::uint32_t i) const { return groups_[i % 3]; }

private:
    char name_[kMaxNameLength + 1];
    std::uint32_t flags_;
    std::int32_t index_;
    Bone* parent_;
    std::int32_t parentIndex_;
    std::vector<Bone*> children_;
    std::vector<std::int32_t> childIndices_;
    float localPosition_[3];
    float localRotation_[4];
    float modelPosition_[3];
    alignas(16) float inverseBindMatrix_[16];
    alignas(16) float bindMatrix_[16];
    alignas(16) float parentRelativeMatrix_[16];
    std::int32_t axes_[3];
    float directionToChild_[3];
    float axisMatrix_[9];
    std::uint32_t reserved_ = 0;
    std::uint32_t id_ = 0;
    std::vector<std::uint32_t> wordList_;
    float weight_ = 0.0f;
    std::uint32_t modeWords_[3];
    float groups_[3][4];
};

}  // namespace Zel
