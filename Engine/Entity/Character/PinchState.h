// Pinch (bone sculpting): named sliders that move, turn or scale bones of one actor. A
// process-wide configuration per sex lists the bone properties each parameter moves and by how
// much at the slider's ends (PinchOp). Every frame the actor adds the deltas of its non-zero
// parameters to the sampled bone states before the bone tree is evaluated (ApplyPre) and takes
// them away again right after (ApplyPost), so the sampled pose is never changed for good.
//
// A state keeps the bone indices its operations resolved to, never bone-state pointers: bone
// states go back to a shared pool whenever a model rebuilds its set, and a pointer kept across
// that would write another model's bones.
//
// Threads: the host thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Zel {

class SkeletonModel;

struct PinchOp {
    std::int32_t id = 0;
    std::string bone;
    std::int32_t kind = 0;  // 0-2 translation, 3-5 Euler angle (degrees), 6-8 scale
    float min = 0.0f;       // the delta at slider value -1
    float max = 0.0f;       // the delta at slider value +1
};

class PinchState {
public:
    static constexpr std::int32_t kNoParameter = 75;
    static constexpr std::int32_t kNoProperty = 9;

    // Reads the default configuration of each sex not loaded yet, then resolves every operation
    // of the sex's list against the model's skeleton. At the first bone the skeleton lacks,
    // "Fig中不存在该骨骼: %s" is logged and resolution stops there.
    PinchState(SkeletonModel& model, bool male);

    // Stores the value; true when it differs from the one held (a missing entry counts as 0).
    bool SetValue(std::int32_t id, float value);
    float GetValue(std::int32_t id) const;
    // The deltas added (pre, +1) or taken away (post, -1) on the model's bone states.
    void ApplyPre(SkeletonModel& model) { Apply(model, 1.0f); }
    void ApplyPost(SkeletonModel& model) { Apply(model, -1.0f); }
    std::uint32_t GetResolvedCount() const { return static_cast<std::uint32_t>(bones_.size()); }
    bool IsMale() const { return male_; }

    // The parameter id of a name, kNoParameter when none; the kind of a property name,
    // kNoProperty when none. Both compare exactly.
    static std::int32_t ParameterId(std::string_view name);
    static std::int32_t PropertyKind(std::string_view name);

    // The process-wide lists.
    static std::vector<PinchOp>& Ops(bool male);
    // Loads a master file into the sex's list (the default file of the sex without a path) and
    // counts it as that sex's configuration; answers success.
    static bool LoadPinchConfig(bool male, const std::string& path = std::string());
    // A master file ("pinchfiles"): the list is emptied, then each listed operations file is read
    // from the master's folder. False (warned) when the file or its root is missing or a listed
    // file fails; what was read before the failure stays.
    static bool ReadPinchFiles(const std::string& path, std::vector<PinchOp>& list);
    // An operations file ("PINCHOPS"), appended; false only without a document or its root.
    static bool ReadPinchOps(const std::string& path, std::vector<PinchOp>& list);
    // Forgets the configuration of both sexes (tests).
    static void ResetConfiguration();

private:
    void Apply(SkeletonModel& model, float sign);

    bool male_;
    std::vector<std::int32_t> bones_;  // per resolved operation, the bone index
    std::map<std::int32_t, float> values_;
};

}  // namespace Zel
