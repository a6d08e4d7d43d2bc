// The physics runtime: its two modules are loaded from the working directory when the scene
// manager starts, every entry point is resolved by name, the SDK object is made with the
// library's error sink and mesh cooking starts. Everything physical tests GetPhysicsSDK.
#pragma once

#include "Platform/Physics/NxPhysics.h"

namespace Zel {

// Writes the directory the runtime's core module is found in (the working directory up to its
// last "bin") to the registry; on failure cloth is switched off.
void SetPhysXCorePath();
// True when the SDK object was made and set up. Logs every failure.
bool LoadPhysicsSDK();
// Closes cooking, releases the SDK object and unloads the modules. Safe after a failed load.
void ReleasePhysicsSDK();

Nx::NxPhysicsSDK* GetPhysicsSDK();
// The cooking entry point resolved at load; null without the runtime.
Nx::NxCookClothMeshFn GetCookClothMesh();

// Test seam: while set, the runtime's modules export nothing, so LoadPhysicsSDK fails as on a
// machine without the runtime.
void SetPhysicsRuntimeMissing(bool missing);

// The error sink handed to the SDK: errors and assertions are logged, debug output is dropped.
class MyOutputStream : public Nx::NxUserOutputStream {
public:
    void reportError(Nx::NxErrorCode code, const char* message, const char* file,
                     int line) override;
    int reportAssertViolation(const char* message, const char* file, int line) override;
    void print(const char* message) override;
};

// The cloth switch and the cloth start-up flag (raised when cloth is switched on; the scene's
// step lowers it after one simulated second). Any thread.
void SetClothEnabled(bool enabled);
bool IsClothEnabled();
void SetClothStartupFlag(bool raised);
bool IsClothStartupFlagSet();

}  // namespace Zel
