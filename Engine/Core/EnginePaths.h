// Process-wide path strings. The scene start-up fills the four roots from the working directory;
// the effect cache root starts as "../Data/Effects/Legacy5/". Getters answer copies, so any
// thread may read while another sets.
#pragma once

#include <string>

namespace Zel {

// The working directory followed by "/"; the base of the log directory. Empty until set.
std::string GetEngineDataRoot();
void SetEngineDataRoot(const std::string& path);
// The data root (the parent of the working directory followed by "/data/"), the base of effect
// includes. Empty until set.
std::string GetEffectIncludeRoot();
void SetEffectIncludeRoot(const std::string& path);
// The resources root (the parent of the working directory followed by "/resources/"), the prefix
// of MakePathString. Empty until set.
std::string GetResourcesRoot();
void SetResourcesRoot(const std::string& path);
// The data root followed by "include/". Empty until set.
std::string GetIncludeRoot();
void SetIncludeRoot(const std::string& path);
// Where generated and compiled effects are kept; "../Data/Effects/Legacy5/" at start.
std::string GetEngineEffectRoot();
void SetEngineEffectRoot(const std::string& path);

// The built-in default models used when a switch asks for them in place of the requested file.
const char* GetDefaultDmlPath();
const char* GetDefaultChrPath();
const char* GetDefaultSceneXmlPath();
// The action a tree item may read in place of its own file: "tank_idle".
const char* GetDefaultActionName();
// The default body-part file of the figure (0 or 1) and slot (0 to 8): a ".bp4" file of the new
// layout or a ".BP3" file of the old one; null for any other figure or slot.
const char* GetDefaultBodyPartPath(bool newLayout, int figure, int slot);

}  // namespace Zel
