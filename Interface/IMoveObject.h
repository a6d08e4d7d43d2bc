// The interface every placed scene object reaches the host through: placement, hierarchy and
// kind. Positions and directions are three floats, orientations quaternions (x, y, z, w),
// matrices sixteen floats (row-major, applied to column vectors). Placement setters marked "top
// level" act only on a node without a parent or directly under the scene's root. A wrapper that
// is not bound does nothing, leaves outputs untouched and answers 0 or null. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IMoveObject : public IObject {
public:
    // 0 for plain objects; lights 7, skinned models 1, actors 4.
    virtual int GetObjectKind() = 0;
    // The serial id of the bound object.
    virtual std::uint64_t GetSerialId() = 0;
    // Unbinds the wrapper at once (as Release in direct mode, whatever the queue mode); 0.
    virtual int DetachNow() = 0;

    // The world matrix (16 floats, owned by the object; valid until it moves).
    virtual const float* GetWorldMatrix() = 0;
    virtual const float* GetLocalMatrix() = 0;
    // Top level only.
    virtual void SetLocalMatrix(const float* matrix) = 0;
    // Whatever the parent.
    virtual void ForceLocalMatrix(const float* matrix) = 0;
    // Top level only. A directional light takes the vector as the direction it shines from.
    virtual void SetPosition(const float* position) = 0;
    virtual void SetPositionAlt(const float* position) = 0;
    // The world position into out (3 floats); answers out.
    virtual const float* GetPosition(float* out) = 0;
    // Top level only.
    virtual void SetOrientation(const float* quaternion) = 0;
    virtual const float* GetOrientation(float* out) = 0;
    virtual void SetScale(const float* scale) = 0;
    virtual const float* GetScale(float* out) = 0;
    // The node's direction (its -Y axis turned by its orientation).
    virtual void SetDirection(const float* direction) = 0;
    virtual const float* GetDirection(float* out) = 0;
    // The node's state word; bit 64 marks it visible.
    virtual std::uint32_t GetStateWord() = 0;
    // Child i (wrapped), null past the end or for a child that hands out no wrapper.
    virtual IMoveObject* GetChild(std::uint32_t index) = 0;
    virtual void AddChild(IMoveObject* child) = 0;
    virtual IMoveObject* GetParent() = 0;
    // Hangs this object under parent.
    virtual void AttachTo(IMoveObject* parent) = 0;
    // Models: how many materials the model draws with (one a piece, the child models' pieces
    // included); 0 for other objects.
    virtual std::uint32_t GetMaterialCount() = 0;
    // Models: the material materialName of the library file replaces the material of every piece
    // of the mesh meshName; nothing for other objects.
    virtual void SetSubEntityShaderFromFile(const char* libraryFile, const char* materialName,
                                            const char* meshName) = 0;
    // Models: the material materialName of the library file replaces every material of that name.
    virtual void SetShaderFromFile(const char* libraryFile, const char* materialName) = 0;
};

}  // namespace ZelI
