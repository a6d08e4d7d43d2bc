// The data tree a host needs before it opens the render window, written from the fixture writers
// (no engine code) and the engine's data files: under the root, "data/include/" with the effect
// include files, "data/Materials/" with a library of a textured and an alpha-blended material and
// one of a lit and an unlit sky material, "resources/" with their textures, the models (three
// cubes, a ground and a sky ball, ".dm3"), the level, skinned and actor recipes in folders of
// their own (the actors as figures in clothes, part 5 with its skirt), the template actors of
// snapshots under "resources/media/shaders/role/output/", and the working directory "bin/" with
// "EngineConfig.txt",
// "multithread.ini", "config/hwcap.xml" and the actors' action library. Used by the demo host and
// by the tests that open a window.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ZelDemo {

// The names the tree holds, as a host asks for them.
struct DataTreeNames {
    std::vector<std::string> models;  // relative to the resources directory
    std::string sky;                  // the sky ball's model, relative to the same
    std::string texturedMaterial = "DemoTextured";
    std::string litMaterial = "DemoLit";      // casts shadows
    std::string floorMaterial = "demo_floor";  // lit, receives shadows ("floor" in its name)
    std::string blendedMaterial = "DemoBlended";
    // The textured material with a stage that turns with the scene time.
    std::string turningMaterial = "DemoTurning";
    std::string skyMaterial = "DemoSky";       // unlit, casts and receives nothing
    std::string boardMaterial = "DemoSun";
    std::string decalMaterial = "DemoTarget";
    // Unlit, added over what lies behind, tinted by the particles' vertex colours.
    std::string particleMaterial = "DemoSpark";
    // The library of the lit and unlit materials, as a host in the working directory names it.
    std::string litLibrary = "../data/Materials/lit.xml";
};

// The names written by WriteDataTree.
const DataTreeNames& DemoNames();

// The name a host running in the working directory passes to CreateModel for a model of the
// tree: a name holding ".." is taken as it is, not under the library's model directory.
std::string HostModelName(const std::string& model);

// The working directory a host runs in: root / "bin".
std::filesystem::path WorkingDirectoryOf(const std::filesystem::path& root);

// The repository folder that holds the engine's own data files (effects under "include/" and
// "Effects/", material libraries under "Materials/").
std::filesystem::path EngineDataDir();

// Copies the engine data files under root/"data" (and root/"Data" too with bothSpellings, for a
// tree where both folders exist), keeping their folders. False with the reason in *error when a
// copy failed.
bool CopyEngineData(const std::filesystem::path& root, std::string* error,
                    bool bothSpellings = false);

// The engine checks the tree under "data" but names its material libraries, models and effect
// cache under "Data"; on the case-insensitive file system it was made for, both are one folder.
// Makes root/"Data" a link to root/"data" unless that name already exists. False with the reason
// in *error when the link cannot be made.
bool LinkCapitalisedData(const std::filesystem::path& root, std::string* error);

// Writes the whole tree under root (made when missing; existing files are replaced). False with
// the reason in *error when a file cannot be written.
bool WriteDataTree(const std::filesystem::path& root, std::string* error);

}  // namespace ZelDemo
