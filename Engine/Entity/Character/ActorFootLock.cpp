#include "Entity/Character/ActorFootLock.h"

#include <cmath>
#include <cstring>

namespace Zel {

namespace {

// The tie-breaker's fixed limits.
constexpr float kMeasureLimit = 0.5f;
constexpr float kMovingFootSpeed = 1.0f;
constexpr float kStillFootSpeed = 0.5f;
constexpr float kSpeedRatio = 2.0f;

float ThresholdAt(const void* block, std::size_t offset) {
    float v;
    std::memcpy(&v, static_cast<const std::uint8_t*>(block) + offset, sizeof v);
    return v;
}

// Whether the foot `other` may take over from the default: it stands still and near while the
// default foot moves fast. A zero divisor never passes the ratio test.
bool OtherFootTakesOver(float aOther, float sOther, float sDefault, float phase) {
    return phase > 0.5f && aOther <= kMeasureLimit && sOther < kStillFootSpeed &&
           sDefault > kMovingFootSpeed && sOther > 0.0f && sDefault / sOther > kSpeedRatio;
}

}  // namespace

FootLockParams& FootLockParams::Global() {
    static FootLockParams params;
    return params;
}

void FootLockParams::Configure(const std::uint8_t* onSwitch, const void* thresholds) {
    FootLockParams& p = Global();
    if (!onSwitch) {
        p.enabled = false;
        return;
    }
    if (*onSwitch == 1)
        p.enabled = true;
    if (!thresholds)
        return;
    p.rootHeightLimit = ThresholdAt(thresholds, 4);
    p.rootSpeed = ThresholdAt(thresholds, 8);
    p.footSpeed = ThresholdAt(thresholds, 12);
    p.predictedHeightGap = ThresholdAt(thresholds, 16);
    p.footHeight = ThresholdAt(thresholds, 20);
    p.directionAgreement = ThresholdAt(thresholds, 24);
    p.footSpreadLimit = ThresholdAt(thresholds, 28);
    p.currentHeightGap = ThresholdAt(thresholds, 32);
    p.liftedFoot = ThresholdAt(thresholds, 36);
}

int ChoosePlantedFoot(const FootLockParams& params, const float a[2], const float z[2],
                      const float s[2], float phase) {
    const int byMeasure = a[1] >= a[0] ? 0 : 1;
    if (byMeasure == 0 && z[1] < z[0]) {
        if (z[0] > params.liftedFoot)
            return 1;
        return OtherFootTakesOver(a[1], s[1], s[0], phase) ? 1 : 0;
    }
    if (byMeasure == 1 && z[1] > z[0]) {
        if (z[1] > params.liftedFoot)
            return 0;
        return OtherFootTakesOver(a[0], s[0], s[1], phase) ? 0 : 1;
    }
    return byMeasure;
}

int ChooseByDirection(const FootLockParams& params, const float feet[2][3],
                      const float footVelocity[2][3], const float rootVelocity[2]) {
    const float rootLength = std::hypot(rootVelocity[0], rootVelocity[1]);
    // Without root motion there is no direction to agree with.
    if (!(rootLength > 0.0f))
        return -1;
    float score[2];
    float speed[2];
    for (int f = 0; f < 2; ++f) {
        speed[f] = std::hypot(footVelocity[f][0], footVelocity[f][1]);
        score[f] =
            speed[f] > 0.0f
                ? (footVelocity[f][0] * rootVelocity[0] + footVelocity[f][1] * rootVelocity[1]) /
                      (speed[f] * rootLength)
                : 0.0f;
    }
    const int chosen = score[0] > score[1] ? 0 : 1;
    const bool stands = score[chosen] > params.directionAgreement &&
                        rootLength > params.rootSpeed &&
                        std::fabs(feet[0][2] - feet[1][2]) < params.currentHeightGap &&
                        feet[0][2] < params.footHeight && feet[1][2] < params.footHeight &&
                        speed[chosen] > params.footSpeed;
    return stands ? chosen : -1;
}

}  // namespace Zel
