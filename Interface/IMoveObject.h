// The interface every placed scene object reaches the host through: placement, hierarchy, boxes,
// animation of models, materials and kind. Positions and directions are three floats,
// orientations quaternions (x, y, z, w), matrices sixteen floats (row-major, applied to column
// vectors), boxes six floats (minimum x, y, z, maximum x, y, z). Placement setters marked "top
// level" act only on a node without a parent or directly under the scene's root. Operations marked
// "models" act on models and levels as their comment says and do nothing (answer 0 or null) for
// other objects; reserved ones keep their place in the operation order. A wrapper that is not
// bound does nothing, leaves outputs untouched and answers 0 or null. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IAnimation;
class IMaterial;
class IMatProxyTable;
class IModel;

class IMoveObject : public IObject {
public:
    // 0 for plain objects; lights 7, skinned models 1, actors 4.
    virtual int GetObjectKind() = 0;
    // The serial id of the bound object.
    virtual std::uint64_t GetSerialId() = 0;
    // Unbinds the wrapper at once (as Release in direct mode, whatever the queue mode); 0.
    virtual int DetachNow() = 0;
    // Models: pushes the object into the frame's open render pipe (actors always, other models
    // while the renderer's push switch is on); 0.
    virtual int PushToPipe() = 0;
    // Reserved: answers 0.
    virtual int Reserved9() = 0;
    // Answers this wrapper; the argument is not read.
    virtual IMoveObject* Self(std::intptr_t) = 0;
    // Models: the second animation state's wrapper; null without one.
    virtual IAnimation* GetSecondAnimation() = 0;
    // Models: the animation of the state becomes the model's (null changes nothing).
    virtual void SetAnimation(IAnimation* animation) = 0;
    // Models: the first animation state's play value; 0.0 without one.
    virtual float GetAnimationPlayValue() = 0;
    // Models: the second animation's play value, and whether it runs.
    virtual void EnableSecondAnimation(bool enable, float value) = 0;
    virtual bool IsAnimationEnabled() = 0;
    // Updates the object for the current frame by the host's time step (seconds) while the
    // renderer's update switches are on.
    virtual void UpdateFrame(float step) = 0;
    // The same update with the scene's own time step, whatever the switches.
    virtual void Update() = 0;
    // The world bounding box into out (6 floats).
    virtual void GetWorldBox(float* out) = 0;
    // Reserved: does nothing, answers 0.0, answers 0.
    virtual void Reserved19() = 0;
    virtual float Reserved20() = 0;
    virtual int Reserved21() = 0;
    // The local bounding box into out (6 floats): a model's geometry box, a decal's own box,
    // else the unit box around the origin.
    virtual void GetLocalBox(float* out) = 0;

    // The world matrix (16 floats, owned by the object; valid until it moves).
    virtual const float* GetWorldMatrix() = 0;
    virtual const float* GetLocalMatrix() = 0;
    // Top level only.
    virtual void SetLocalMatrix(const float* matrix) = 0;
    // Places the object at the named bone of the model's skeleton (orientation, then position);
    // a missing bone is logged and leaves the object in place.
    virtual void PlaceAtBone(IModel* model, const char* bone) = 0;
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
    // Reserved: does nothing, answers 0.0.
    virtual void Reserved33() = 0;
    virtual float Reserved34() = 0;
    virtual void SetScale(const float* scale) = 0;
    virtual const float* GetScale(float* out) = 0;
    // The node's direction (its -Y axis turned by its orientation).
    virtual void SetDirection(const float* direction) = 0;
    virtual const float* GetDirection(float* out) = 0;
    // Models: with on, the highlight option on with the colour (4 floats); without, off and white.
    virtual void SetHighlight(const float* colour, bool on) = 0;
    // A constant white (4 floats, static storage).
    virtual const float* GetConstantColour() = 0;
    // The node's state word; bit 64 marks it visible.
    virtual std::uint32_t GetStateWord() = 0;
    // Child i (wrapped), null past the end or for a child that hands out no wrapper.
    virtual IMoveObject* GetChild(std::uint32_t index) = 0;
    virtual void AddChild(IMoveObject* child) = 0;
    virtual IMoveObject* GetParent() = 0;
    // Hangs this object under parent.
    virtual void AttachTo(IMoveObject* parent) = 0;
    // Reserved: do nothing, answers false.
    virtual void Reserved46() = 0;
    virtual void Reserved47() = 0;
    virtual bool Reserved48() = 0;
    // Models: an integer of the host's kept with the model.
    virtual void SetUserValue(std::int32_t value) = 0;
    virtual std::int32_t GetUserValue() = 0;
    // Reserved: answers 0, 0.0, does nothing.
    virtual int Reserved51() = 0;
    virtual float Reserved52() = 0;
    virtual void Reserved53() = 0;
    // Decals: the wrapper of the resource the decal holds; null otherwise.
    virtual IObject* GetResource() = 0;
    // Models: every piece draws with the material; decals: the decal does. Null changes nothing.
    virtual void SetMaterial(IMaterial* material) = 0;
    // Reserved: does nothing.
    virtual void Reserved56() = 0;
    // Models and levels: how many materials the object draws with (one a piece, the child
    // models' pieces included); decals 1; 0 for other objects.
    virtual std::uint32_t GetMaterialCount() = 0;
    // Models: two words of material i; 0 without material i.
    virtual std::uint32_t GetMaterialWord(std::uint32_t index) = 0;
    virtual std::uint32_t GetMaterialWordAlt(std::uint32_t index) = 0;
    // Models: a query of the model's entity.
    virtual std::int32_t GetEntityWord() = 0;
    // Models: the material materialName of the library file replaces the material of every piece
    // of the mesh meshName.
    virtual void SetSubEntityShaderFromFile(const char* libraryFile, const char* materialName,
                                            const char* meshName) = 0;
    // Models: the material materialName of the library file replaces every material of that name.
    virtual void SetShaderFromFile(const char* libraryFile, const char* materialName) = 0;
    // Reserved: does nothing.
    virtual void Reserved63() = 0;
    // Models: each of the model's own pieces shifts its colour toward (r, g, b, a) by ratio
    // (0 none, 1 all).
    virtual void SetShiftColor(float r, float g, float b, float a, float ratio) = 0;
    // Models and levels: a new table with one proxy for each of the object's materials; the host
    // owns it. Null for other objects.
    virtual IMatProxyTable* CreateMatProxyTable() = 0;

protected:
    ~IMoveObject() override = default;
};

}  // namespace ZelI
