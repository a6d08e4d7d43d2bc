// Foot locking: where an actor's root point stands each frame. With locking off it is the
// midpoint of the feet; with locking on it is the planted foot, chosen once per root-motion
// episode from predicted and measured foot motion, so that a character does not slide while one
// action hands over to the next.
//
// The switch and thresholds are host settings shared by every actor (FootLockParams); the
// snapshot and decisions (FootLockState) belong to one actor.
//
// Threads: the host thread.
#pragma once

#include <cstdint>

namespace Zel {

struct FootLockParams {
    bool enabled = false;
    float rootHeightLimit = 1.2f;
    float footSpreadLimit = 2.0f;
    float predictedHeightGap = 0.8f;
    float directionAgreement = 0.8f;
    float rootSpeed = 0.8f;
    float currentHeightGap = 0.8f;
    float liftedFoot = 0.8f;
    float footSpeed = 2.0f;
    float footHeight = 0.4f;

    // The process-wide settings.
    static FootLockParams& Global();
    // The host's command: a null switch turns locking off and changes nothing else; a switch
    // pointing to 1 turns it on (any other value leaves it); with a switch given, a non-null block
    // supplies the nine thresholds at byte offsets 4, 8, ..., 36.
    static void Configure(const std::uint8_t* onSwitch, const void* thresholds);
};

// One actor's foot-lock snapshot and decisions.
struct FootLockState {
    float accumulatedTime = 0.0f;  // seconds since the last snapshot
    float snapshotRoot[2] = {0.0f, 0.0f};
    float snapshotFeet[2][3] = {};
    bool firstDecisionDone = false;
    bool secondDecisionDone = false;
    int plantedFoot = 0;              // 0 left, 1 right
    float predicted[3][3] = {};       // left foot, right foot, reference bone
    float predictedDistance[2] = {};  // horizontal, each predicted foot from the reference bone
    float savedOffset[3] = {};
};

// The tie-breaker between the feet: measures a (smaller is nearer), heights z, speeds s and the
// action's phase. Answers 0 for the left foot, 1 for the right.
int ChoosePlantedFoot(const FootLockParams& params, const float a[2], const float z[2],
                      const float s[2], float phase);

// The foot of the first decision from measured motion: the feet now and the velocities since the
// snapshot (the root's in x and y). -1 when the direction rule does not stand, which includes a
// root that did not move.
int ChooseByDirection(const FootLockParams& params, const float feet[2][3],
                      const float footVelocity[2][3], const float rootVelocity[2]);

}  // namespace Zel
