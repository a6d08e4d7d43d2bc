// The scene-object operations every scene-node wrapper shares (IMoveObject), forwarded to the
// bound node. Releasing such a wrapper hands the node back to the scene (SceneNode::Destroy).
// An unbound wrapper does nothing, leaves outputs untouched and answers 0 or null.
#pragma once

#include <algorithm>

#include "Entity/Scene/SceneNode.h"
#include "Interface/IMoveObject.h"
#include "Render/RenderCore/RCInterfaceImpl.h"

namespace Zel {

// SceneNode::Update with the scene's frame id and the host's step (seconds), only while the
// run-update and update-models switches are on. Host thread.
void UpdateNodeForFrame(SceneNode& node, float step);
// SceneNode::Update with the scene's frame id and its own time step, whatever the switches.
void UpdateNodeWithSceneStep(SceneNode& node);
// Turns, then moves, the object through its own orientation and position rows to the world
// placement of the model's named bone; a bone the model lacks is logged and moves nothing.
void PlaceAtModelBone(ZelI::IMoveObject& object, ZelI::IModel* model, const char* bone);

template <class IX, class X, class W>
class ISceneNodeImplRC : public IObjectImplRC<IX, X, W> {
public:
    int GetObjectKind() override { return 0; }
    std::uint64_t GetSerialId() override { return Node() ? Node()->GetSerialId() : 0; }
    int DetachNow() override {
        RCInterfaceImpl<X>::Detach();
        return 0;
    }
    int PushToPipe() override { return 0; }
    int Reserved9() override { return 0; }
    ZelI::IMoveObject* Self(std::intptr_t) override { return this; }
    // Animation states belong to models, whose wrappers answer these.
    ZelI::IAnimation* GetSecondAnimation() override { return nullptr; }
    void SetAnimation(ZelI::IAnimation*) override {}
    float GetAnimationPlayValue() override { return 0.0f; }
    void EnableSecondAnimation(bool, float) override {}
    bool IsAnimationEnabled() override { return false; }
    // The host drives its objects' animation: a node the host updates poses itself (an actor's
    // bones, a model's animation states) before the pipes draw it.
    void UpdateFrame(float step) override {
        if (Node())
            UpdateNodeForFrame(*Node(), step);
    }
    void Update() override {
        if (Node())
            UpdateNodeWithSceneStep(*Node());
    }
    void GetWorldBox(float* out) override {
        if (Node() && out)
            WriteBox(Node()->GetBoundingBox(), out);
    }
    void Reserved19() override {}
    float Reserved20() override { return 0.0f; }
    int Reserved21() override { return 0; }
    // Cameras, lights and levels answer the unit box around the origin.
    void GetLocalBox(float* out) override {
        static constexpr float kUnitBox[6] = {-0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f};
        if (Node() && out)
            std::copy(kUnitBox, kUnitBox + 6, out);
    }

    const float* GetWorldMatrix() override { return Node() ? Node()->GetWorldMatrix() : nullptr; }
    const float* GetLocalMatrix() override { return Node() ? Node()->GetLocalMatrix() : nullptr; }
    void SetLocalMatrix(const float* matrix) override {
        if (TopLevel() && matrix)
            Node()->SetLocalMatrix(matrix);
    }
    void ForceLocalMatrix(const float* matrix) override {
        if (Node() && matrix)
            Node()->SetLocalMatrix(matrix);
    }
    void SetPosition(const float* position) override {
        if (TopLevel() && position)
            Node()->SetPosition(position);
    }
    void PlaceAtBone(ZelI::IModel* model, const char* bone) override {
        if (Node() && bone)
            PlaceAtModelBone(*this, model, bone);
    }
    void SetPositionAlt(const float* position) override { this->SetPosition(position); }
    const float* GetPosition(float* out) override {
        return Copy(Node() ? Node()->GetWorldPosition() : nullptr, out, 3);
    }
    void SetOrientation(const float* quaternion) override {
        if (TopLevel() && quaternion)
            Node()->SetOrientation(quaternion);
    }
    const float* GetOrientation(float* out) override {
        return Copy(Node() ? Node()->GetOrientation() : nullptr, out, 4);
    }
    void Reserved33() override {}
    float Reserved34() override { return 0.0f; }
    void SetScale(const float* scale) override {
        if (Node() && scale)
            Node()->SetScale(scale);
    }
    const float* GetScale(float* out) override {
        return Copy(Node() ? Node()->GetScale() : nullptr, out, 3);
    }
    void SetDirection(const float* direction) override {
        if (Node() && direction)
            Node()->SetDirection(direction);
    }
    const float* GetDirection(float* out) override {
        return Copy(Node() ? Node()->GetDirection() : nullptr, out, 3);
    }
    void SetHighlight(const float*, bool) override {}
    const float* GetConstantColour() override {
        static constexpr float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        return kWhite;
    }
    std::uint32_t GetStateWord() override { return Node() ? Node()->GetState() : 0; }
    ZelI::IMoveObject* GetChild(std::uint32_t index) override {
        SceneNode* child = Node() ? Node()->GetChild(index) : nullptr;
        return child ? child->GetInterface() : nullptr;
    }
    void AddChild(ZelI::IMoveObject* child) override {
        SceneNode* node = UnwrapInterface<SceneNode, ZelI::IMoveObject>(child);
        if (Node() && node && node != Node())
            Node()->AddChild(node);
    }
    ZelI::IMoveObject* GetParent() override {
        SceneNode* parent = Node() ? Node()->GetParent() : nullptr;
        return parent ? parent->GetInterface() : nullptr;
    }
    void AttachTo(ZelI::IMoveObject* parent) override {
        SceneNode* node = UnwrapInterface<SceneNode, ZelI::IMoveObject>(parent);
        if (Node() && node && node != Node())
            node->AddChild(Node());
    }
    void Reserved46() override {}
    void Reserved47() override {}
    bool Reserved48() override { return false; }
    // Values, resources and materials belong to models and decals, whose wrappers answer these.
    void SetUserValue(std::int32_t) override {}
    std::int32_t GetUserValue() override { return 0; }
    int Reserved51() override { return 0; }
    float Reserved52() override { return 0.0f; }
    void Reserved53() override {}
    ZelI::IObject* GetResource() override { return nullptr; }
    void SetMaterial(ZelI::IMaterial*) override {}
    void Reserved56() override {}
    std::uint32_t GetMaterialCount() override { return 0; }
    std::uint32_t GetMaterialWord(std::uint32_t) override { return 0; }
    std::uint32_t GetMaterialWordAlt(std::uint32_t) override { return 0; }
    std::int32_t GetEntityWord() override { return 0; }
    void SetSubEntityShaderFromFile(const char*, const char*, const char*) override {}
    void SetShaderFromFile(const char*, const char*) override {}
    void Reserved63() override {}
    void SetShiftColor(float, float, float, float, float) override {}
    ZelI::IMatProxyTable* CreateMatProxyTable() override { return nullptr; }

protected:
    X* Node() const { return this->Bound(); }
    bool TopLevel() const { return Node() && Node()->IsTopLevel(); }
    // Copies count floats into out when both exist; answers out (null when nothing was copied).
    static const float* Copy(const float* from, float* out, int count) {
        if (!from || !out)
            return nullptr;
        std::copy(from, from + count, out);
        return out;
    }
    static void WriteBox(const AABB& box, float* out) {
        const float* minimum = box.GetMin();
        const float* maximum = box.GetMax();
        std::copy(minimum, minimum + 3, out);
        std::copy(maximum, maximum + 3, out + 3);
    }
    // Released scene objects go back to the scene.
    void DetachStep(X* impl) override { impl->Destroy(); }
};

}  // namespace Zel
