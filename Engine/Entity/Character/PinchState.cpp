#include "Entity/Character/PinchState.h"

#include <cmath>
#include <cstdlib>

#include "Core/DebugHelperImpl.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/TiXmlDocument.h"
#include "Core/XmlElements.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonModel.h"
#include "Math/MathUtil.h"

namespace Zel {

namespace {

constexpr const char* kDefaultMale =
    "..\\resources\\media\\shaders\\role\\pinch\\male\\m_pinch.xml";
constexpr const char* kDefaultFemale =
    "..\\resources\\media\\shaders\\role\\pinch\\female\\f_pinch.xml";

// Names by id; ids 6 and 17..32 have none.
const char* const kBodyNames[] = {"STATURE_HEIGHT", "HEAD_SIZE",       "WAIST_SIZE",
                                  "LEG_SIZE",       "SHOULDER_HEIGHT", "SHOULDER_WIDTH"};
const char* const kBodyNames2[] = {"GLUTE_HEIGHT", "LEG_LENGTH", "THIGH_LENGTH", "CALF_LENGTH",
                                   "THIGH_SIZE",   "CALF_SIZE",  "ARM_SIZE",     "HIP_LINE",
                                   "WAIST_LINE",   "CHEST_LINE"};
const char* const kFaceNames[] = {"CHEEK_WIDTH",
                                  "UPCHEEK_WIDTH",
                                  "DOWNCHEEK_WIDTH",
                                  "MANDIBLE_WIDTH",
                                  "MANDIBLE_LENGTH",
                                  "CHIN_LENGTH",
                                  "CHIN_WIDTH",
                                  "CHIN_Z",
                                  "FRONTAL_Z",
                                  "EYE_HEIGHT",
                                  "INNER_CANTHUS_H",
                                  "OUTER_CANTHUS_H",
                                  "INNER_CANTHUS_W",
                                  "OUTER_CANTHUS_W",
                                  "UPEYELID_CENTER_H",
                                  "DOWNEYELID_CENTER_H",
                                  "PUPUL_SIZE",
                                  "PUPIL_HEIGHT",
                                  "PUPIL_DISTANCE",
                                  "EYE_SIZE",
                                  "EYE_ANGLE",
                                  "EYE_BUMP",
                                  "EYE_Z",
                                  "EYEBROW_ANGLE",
                                  "EYEBROW_HEIGHT",
                                  "EYEBROW_Z",
                                  "EYEBROW_TAIL",
                                  "EYEBROW_HEAD",
                                  "NOSE_WIDTH",
                                  "NOSE_LENGTH",
                                  "NOSE_BRIDGE_Z",
                                  "NOSE_ROOT_Z",
                                  "NOSE_APEX_SIZE",
                                  "NOSE_APEX_H",
                                  "NOSE_APEX_Z",
                                  "NOSE_BUMP",
                                  "MOUTH_HEIGHT",
                                  "MOUTH_Z",
                                  "MOUTH_CORNER",
                                  "MOUTH_WIDTH",
                                  "UPLIP_THICKNESS",
                                  "DOWNLIP_THINCKNESS"};
const char* const kPropertyNames[] = {"localPos.x", "localPos.y", "localPos.z",
                                      "localRot.x", "localRot.y", "localRot.z",
                                      "localSca.x", "localSca.y", "localSca.z"};

// Whether each sex's list holds a configuration (defaults or a host load).
bool& Loaded(bool male) {
    static bool loaded[2] = {false, false};
    return loaded[male ? 1 : 0];
}

void Warn(const char* format, const std::string& argument) {
    if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
        reporter->Warning(format, argument.c_str());
}

std::string MasterFolder(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

float Delta(const PinchOp& op, float value, float sign) {
    return value > 0.0f ? value * op.max * sign : std::fabs(value) * op.min * sign;
}

void ApplyDelta(BoneState& state, std::int32_t kind, float delta) {
    if (kind >= 0 && kind <= 2) {
        state.translation[kind] += delta;
    } else if (kind >= 3 && kind <= 5) {
        float euler[3], q[4];
        QuaternionToEuler(state.rotation, euler);
        euler[kind - 3] += delta;
        EulerToQuaternion(euler, q);
        for (int k = 0; k < 4; ++k) state.rotation[k] = q[k];
    } else if (kind >= 6 && kind <= 8) {
        const int axis = kind - 6;
        state.scaleMatrix[4 * axis + axis] += delta;
    }
}

}  // namespace

std::int32_t PinchState::ParameterId(std::string_view name) {
    for (std::int32_t i = 0; i < 6; ++i)
        if (name == kBodyNames[i])
            return i;
    for (std::int32_t i = 0; i < 10; ++i)
        if (name == kBodyNames2[i])
            return 7 + i;
    for (std::int32_t i = 0; i < 42; ++i)
        if (name == kFaceNames[i])
            return 33 + i;
    return kNoParameter;
}

std::int32_t PinchState::PropertyKind(std::string_view name) {
    for (std::int32_t i = 0; i < 9; ++i)
        if (name == kPropertyNames[i])
            return i;
    return kNoProperty;
}

std::vector<PinchOp>& PinchState::Ops(bool male) {
    static std::vector<PinchOp> lists[2];
    return lists[male ? 1 : 0];
}

void PinchState::ResetConfiguration() {
    for (bool male : {false, true}) {
        Ops(male).clear();
        Loaded(male) = false;
    }
}

bool PinchState::ReadPinchOps(const std::string& path, std::vector<PinchOp>& list) {
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str()))
        return false;
    const XmlNode* root = document.first_node("PINCHOPS");
    if (!root)
        return false;
    for (const XmlNode* op = XmlChildElementByName(root, "pinchop"); op;
         op = XmlNextSiblingElementByName(op, "pinchop")) {
        const char* idName = XmlAttributeValue(op, "id");
        const std::int32_t id = idName ? ParameterId(idName) : kNoParameter;
        if (id == kNoParameter)
            continue;
        for (const XmlNode* bone = XmlChildElementByName(op, "bone"); bone;
             bone = XmlNextSiblingElementByName(bone, "bone")) {
            const char* name = XmlAttributeValue(bone, "name");
            const XmlNode* property = XmlChildElementByName(bone, "property");
            const XmlNode* min = XmlChildElementByName(bone, "min");
            const XmlNode* max = XmlChildElementByName(bone, "max");
            if (!name || !property || !min || !max)
                continue;
            const std::int32_t kind = PropertyKind(property->value());
            if (kind == kNoProperty)
                continue;
            list.push_back({id, name, kind, static_cast<float>(std::atof(min->value())),
                            static_cast<float>(std::atof(max->value()))});
        }
    }
    return true;
}

bool PinchState::ReadPinchFiles(const std::string& path, std::vector<PinchOp>& list) {
    list.clear();
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str())) {
        Warn("打开捏脸文件失败! %s", path);
        return false;
    }
    const XmlNode* root = document.first_node("pinchfiles");
    if (!root) {
        Warn("捏脸文件格式错误! 缺乏根pinchfiles标记%s", path);
        return false;
    }
    const std::string folder = MasterFolder(path);
    for (const XmlNode* file = XmlChildElementByName(root, "file"); file;
         file = XmlNextSiblingElementByName(file, "file")) {
        const std::string name = file->value();
        if (!ReadPinchOps(folder + "\\" + name, list)) {
            Warn("捏脸文件读取失败! %s", name);
            return false;
        }
    }
    return true;
}

bool PinchState::LoadPinchConfig(bool male, const std::string& path) {
    const std::string file = path.empty() ? (male ? kDefaultMale : kDefaultFemale) : path;
    const bool ok = ReadPinchFiles(file, Ops(male));
    // A host's configuration counts as loaded, so that the first actor does not read the
    // defaults over it.
    Loaded(male) = Loaded(male) || ok;
    return ok;
}

PinchState::PinchState(SkeletonModel& model, bool male) : male_(male) {
    for (bool sex : {false, true})
        if (!Loaded(sex))
            Loaded(sex) = ReadPinchFiles(sex ? kDefaultMale : kDefaultFemale, Ops(sex));
    Skeleton* skeleton = model.GetSkeleton();
    for (const PinchOp& op : Ops(male_)) {
        const std::int32_t index = skeleton ? skeleton->GetBoneIndex(op.bone) : -1;
        if (index < 0 || !model.GetBoneState(static_cast<std::uint32_t>(index))) {
            LogTyped(LOG_RESOURCE_INFO, "Fig中不存在该骨骼: %s", op.bone.c_str());
            break;
        }
        bones_.push_back(index);
    }
}

bool PinchState::SetValue(std::int32_t id, float value) {
    float& held = values_[id];
    const bool changed = held != value;
    held = value;
    return changed;
}

float PinchState::GetValue(std::int32_t id) const {
    const auto it = values_.find(id);
    return it == values_.end() ? 0.0f : it->second;
}

void PinchState::Apply(SkeletonModel& model, float sign) {
    const std::vector<PinchOp>& ops = Ops(male_);
    for (std::size_t i = 0; i < ops.size() && i < bones_.size(); ++i) {
        const float value = GetValue(ops[i].id);
        if (value == 0.0f)
            continue;
        if (BoneState* state = model.GetBoneState(static_cast<std::uint32_t>(bones_[i])))
            ApplyDelta(*state, ops[i].kind, Delta(ops[i], value, sign));
    }
}

}  // namespace Zel
