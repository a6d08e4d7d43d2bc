#include "modelgen/BipedRecipe.h"

namespace ZelModelGen {
namespace {

class BipedBuilder {
public:
    // A bone at an offset from its parent's position (or at the offset for the root).
    void Add(const std::string& name, const std::string& parent, float dx, float dy, float dz) {
        Vec3 base;
        for (const BipedBone& b : bones_) {
            if (b.name == parent)
                base = b.position;
        }
        bones_.push_back({name, parent, {base.x + dx, base.y + dy, base.z + dz}});
    }
    std::vector<BipedBone> Take() { return std::move(bones_); }

private:
    std::vector<BipedBone> bones_;
};

}  // namespace

std::vector<BipedBone> BipedSkeleton() {
    BipedBuilder b;
    b.Add("Bip01", "", 0, 0, 1.0f);
    b.Add("Bip01 Pelvis", "Bip01", 0, 0, 0);
    b.Add("Bip01 Spine", "Bip01 Pelvis", 0, 0.01f, 0.1f);
    b.Add("Bip01 Spine1", "Bip01 Spine", 0, 0, 0.15f);
    b.Add("Bip01 Spine2", "Bip01 Spine1", 0, 0, 0.15f);
    b.Add("Bip01 Neck", "Bip01 Spine2", 0, 0, 0.15f);
    b.Add("Bip01 Head", "Bip01 Neck", 0, 0, 0.1f);
    for (const char* side : {"L", "R"}) {
        const std::string s = std::string("Bip01 ") + side + " ";
        const float x = side[0] == 'L' ? 1.0f : -1.0f;
        b.Add(s + "Clavicle", "Bip01 Neck", 0.05f * x, 0, -0.03f);
        b.Add(s + "UpperArm", s + "Clavicle", 0.12f * x, 0, 0);
        b.Add(s + "UpArmTwist1", s + "UpperArm", 0.14f * x, 0, 0);
        b.Add(s + "Forearm", s + "UpperArm", 0.28f * x, 0, 0);
        b.Add(s + "ForeTwist1", s + "Forearm", 0.12f * x, 0, 0);
        b.Add(s + "Hand", s + "Forearm", 0.25f * x, 0, 0);
        for (int f = 0; f < 3; ++f) {
            const std::string finger = s + "Finger" + std::to_string(f);
            b.Add(finger, s + "Hand", 0.08f * x, 0.02f * (f - 1), 0);
            b.Add(finger + "1", finger, 0.03f * x, 0, 0);
            b.Add(finger + "2", finger + "1", 0.02f * x, 0, 0);
        }
        b.Add(s + "Thigh", "Bip01 Pelvis", 0.1f * x, 0, -0.05f);
        b.Add(s + "ThighTwist1", s + "Thigh", 0, 0, -0.2f);
        b.Add(s + "Calf", s + "Thigh", 0, 0, -0.42f);
        b.Add(s + "Foot", s + "Calf", 0, 0, -0.43f);
        b.Add(s + "Toe0", s + "Foot", 0, -0.12f, -0.05f);
    }
    b.Add("Bip01 Jaw", "Bip01 Head", 0, -0.03f, -0.02f);
    for (const char* part : {"LowerLip", "Tongue", "Chin", "L MouthCorner", "R MouthCorner"})
        b.Add(std::string("Bip01 ") + part, "Bip01 Jaw", 0, -0.05f, -0.01f);
    for (const char* side : {"L", "R"}) {
        const std::string s = std::string("Bip01 ") + side + " ";
        const float x = side[0] == 'L' ? 1.0f : -1.0f;
        b.Add(s + "Eye", "Bip01 Head", 0.03f * x, -0.08f, 0.06f);
        b.Add(s + "EyeLidUp", s + "Eye", 0, -0.01f, 0.01f);
        b.Add(s + "EyeLidDown", s + "Eye", 0, -0.01f, -0.01f);
        b.Add(s + "Brow", "Bip01 Head", 0.03f * x, -0.09f, 0.09f);
        b.Add(s + "BrowInner", s + "Brow", -0.01f * x, 0, 0);
        b.Add(s + "BrowOuter", s + "Brow", 0.01f * x, 0, 0);
    }
    for (const char* part : {"L Cheek", "R Cheek", "Nose", "UpperLip", "Forehead"})
        b.Add(std::string("Bip01 ") + part, "Bip01 Head", 0, -0.09f, 0.03f);
    return b.Take();
}

}  // namespace ZelModelGen
