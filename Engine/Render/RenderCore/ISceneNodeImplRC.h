// The scene-object operations every scene-node wrapper shares (IMoveObject), forwarded to the
// bound node. Releasing such a wrapper hands the node back to the scene (SceneNode::Destroy).
// An unbound wrapper does nothing, leaves outputs untouched and answers 0 or null.
#pragma once

#include <algorithm>

#include "Entity/Scene/SceneNode.h"
#include "Interface/IMoveObject.h"
#include "Render/RenderCore/RCInterfaceImpl.h"

namespace Zel {

template <class IX, class X, class W>
class ISceneNodeImplRC : public IObjectImplRC<IX, X, W> {
public:
    int GetObjectKind() override { return 0; }
    std::uint64_t GetSerialId() override { return Node() ? Node()->GetSerialId() : 0; }
    int DetachNow() override {
        RCInterfaceImpl<X>::Detach();
        return 0;
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
    // Materials belong to models, whose wrappers answer these.
    std::uint32_t GetMaterialCount() override { return 0; }
    void SetSubEntityShaderFromFile(const char*, const char*, const char*) override {}
    void SetShaderFromFile(const char*, const char*) override {}

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
    // Released scene objects go back to the scene.
    void DetachStep(X* impl) override { impl->Destroy(); }
};

}  // namespace Zel
