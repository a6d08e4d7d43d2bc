// Short makers of string faults, recipe options and sample descriptions for the fixture writer
// tests.
#pragma once

#include "modelgen/FaultPlan.h"
#include "modelgen/GeometryDescription.h"
#include "modelgen/Recipes.h"

namespace ZelTest {

inline ZelModelGen::StringFault WithNullFlag(std::uint32_t v) {
    ZelModelGen::StringFault f;
    f.nullFlag = v;
    return f;
}
inline ZelModelGen::StringFault WithLength(std::uint32_t v) {
    ZelModelGen::StringFault f;
    f.length = v;
    return f;
}
inline ZelModelGen::StringFault WithReserved(std::uint32_t v) {
    ZelModelGen::StringFault f;
    f.reserved = v;
    return f;
}
inline ZelModelGen::StringFault WithoutNul() {
    ZelModelGen::StringFault f;
    f.dropNul = true;
    return f;
}
// A null string as a reader expects one: flag 1, length 0, no characters.
inline ZelModelGen::StringFault HeadOnlyNull() {
    ZelModelGen::StringFault f;
    f.nullFlag = 1;
    f.length = 0;
    f.omitCharacters = true;
    return f;
}
// Cube recipes without the 32-bit mesh, for tests that write many variants.
inline ZelModelGen::RecipeOptions Narrow() {
    ZelModelGen::RecipeOptions o;
    o.wide = false;
    return o;
}

// A track whose every word and value differs, with one position and one rotation key and two
// frames.
inline ZelModelGen::AnimTrackDesc SampleTrack() {
    ZelModelGen::AnimTrackDesc t;
    t.word0 = 1;
    t.value0 = 2;
    t.value1 = 3;
    t.word1 = 4;
    t.word2 = 5;
    t.flags = 6;
    t.vector1 = {7, 8, 9};
    t.vectors23 = {10, 11, 12, 13, 14, 15};
    t.boneIndex = 16;
    t.frameCount = 2;
    t.keys.words = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    t.keys.positions = {{{1, 2, 3}, 0.5f}};
    t.keys.rotations = {{{0, 0, 0, 1}, 0.25f}};
    t.keys.positionFrames = {0, 1};
    t.keys.rotationFrames = {1, 0};
    return t;
}

}  // namespace ZelTest
