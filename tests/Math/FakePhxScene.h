// A physics scene for tests: it makes plain bodies, records every descriptor it is given, counts
// release requests, and can be told to make no body.
#pragma once

#include <memory>
#include <vector>

#include "Physics/PhxEntity.h"
#include "Physics/PhxScene.h"

namespace ZelTest {

class FakePhxScene : public Zel::PhxScene {
public:
    Zel::PhxEntity* CreateEntity(const Zel::PhxBodyDesc* desc) override {
        descs.push_back(*desc);
        if (refuse) {
            return nullptr;
        }
        return AddEntity(std::make_unique<Zel::PhxEntity>(this, *desc));
    }

    void ReleaseEntity(Zel::PhxEntity* entity) override {
        ++releaseRequests;
        PhxScene::ReleaseEntity(entity);
    }

    bool refuse = false;
    int releaseRequests = 0;
    std::vector<Zel::PhxBodyDesc> descs;
};

}  // namespace ZelTest
