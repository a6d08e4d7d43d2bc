// The ASE text scene reader: one ASE file (ASCII Scene Export, with the strip extension the
// engine's exporter adds to objects) into an AseScene. The builders (MeshSerializer) turn scenes
// into meshes, node transforms, animations and skeletons.
//
// Reading is forgiving: unknown keywords and blocks are passed over, numbers that do not parse
// leave their field as it was, and a file that could be read always gives a scene (possibly
// empty). What the reader refuses, it logs once per file (ENGINE_INIT): lines with an index
// outside its count (the line is dropped), counts larger than the rest of the file could fill
// (taken as 0), lines cut at 4095 characters, material and map blocks nested too deep (skipped).
//
// Any thread; reads share no state, so they may run at the same time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Entity/Geometry/Ase/AseScene.h"

namespace Zel {

// The entry of the builders: ReadAseFile, keeping vertices in world space when keepWorldSpace
// is set.
std::unique_ptr<AseScene> LoadAseScene(const std::string& path, float scale, bool keepWorldSpace);
// Reads one file: positions, node translations and weight offsets are multiplied by scale, and
// every object's vertices (with its morph frames' and strip sets') are moved into the object's
// own space. Null, with an error report, when the file cannot be opened or read whole.
std::unique_ptr<AseScene> ReadAseFile(const std::string& path, float scale);
// The same from text held in memory; fileName names it in log lines. Never null.
std::unique_ptr<AseScene> ParseAseScene(std::string_view text, float scale, bool keepWorldSpace,
                                        const std::string& fileName);
// Frees the scene with everything it owns.
void FreeAseScene(std::unique_ptr<AseScene> scene);

// The first object of the scene's objects whose name is the given one byte for byte (quotes
// included); null when none.
AseObject* FindAseObject(const AseScene& scene, std::string_view name);
// A face's material: from material, steps to sub-material id for as long as the material reached
// has one; null for a null material.
const AseMaterial* FindSubMaterial(const AseMaterial* material, std::int32_t id);

}  // namespace Zel
