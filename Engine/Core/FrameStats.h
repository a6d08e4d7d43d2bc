// The frame counters owned by Globals (Globals::GetFrameStats): 53 unsigned 32-bit words, zeroed
// at start-up. The render device, the frame pipeline, the scene and the render interface add to
// them; the host reads a snapshot through the frame profiler. Every writer names its word through
// FrameStatWord, so each counter keeps one position.
//
// Threads: written on the host's thread (the frame runs there); a stray increment from a worker
// task only makes a counter approximate.
#pragma once

#include <cstdint>

namespace Zel {

enum FrameStatWord : std::uint32_t {
    FRAME_TIME_MS = 0,              // frame time in ms, added at the end of each frame
    FRAME_DRAW_CALLS = 1,           // sum of words 3, 4 and 5, recomputed by the profiler
    FRAME_TRANSPARENT_ENTRIES = 2,  // entries walked by the transparent group draw
    FRAME_DRAW_INDEXED = 3,         // device counters from here, in the device's order
    FRAME_DRAW_INDEXED_USER = 4,    // indexed draws from user memory
    FRAME_DRAW_NON_INDEXED = 5,
    FRAME_PRIMITIVES = 6,
    FRAME_VERTEX_DECLARATION_SETS = 7,
    FRAME_BUFFER_BINDINGS = 9,  // sum of words 10, 11 and 13, recomputed by the profiler
    FRAME_STREAM_BINDINGS = 10,
    FRAME_DYNAMIC_STREAM_BINDINGS = 11,
    FRAME_NODES_TESTED = 12,  // one per frustum classification of a spatial node
    FRAME_INDEX_BUFFER_BINDINGS = 13,
    FRAME_DYNAMIC_INDEX_BUFFER_BINDINGS = 14,
    FRAME_PUSHED_MODELS = 15,   // models pushed into the render pipes
    FRAME_HOST_COUNTER_0 = 16,  // raised by the host through the frame profiler
    FRAME_HOST_COUNTER_1 = 17,
    FRAME_HOST_COUNTER_2 = 18,
    FRAME_CULLED_ACTORS = 19,
    FRAME_CULLED_MODELS = 20,
    FRAME_NODE_UPDATES = 21,  // its address is handed to SceneNode::Update
    FRAME_TRANSFORM_SETS = 22,
    FRAME_RENDER_STATE_SETS = 23,
    FRAME_SAMPLER_STATE_SETS = 24,
    FRAME_TEXTURE_STAGE_STATE_SETS = 25,
    FRAME_TEXTURE_SETS = 26,
    FRAME_VERTEX_SHADER_SETS = 27,
    FRAME_PIXEL_SHADER_SETS = 28,
    FRAME_FVF_SETS = 29,
    FRAME_EFFECTS_BEGUN = 30,        // also the technique begins of the widget renderer
    FRAME_EFFECT_PASSES_BEGUN = 31,  // also the passes of the widget renderer
    FRAME_STREAMED_BYTES = 32,
    FRAME_DYNAMIC_STREAMED_BYTES = 33,
    FRAME_INDEX_BYTES = 34,
    FRAME_DYNAMIC_INDEX_BYTES = 35,
    FRAME_STREAMED_VERTICES = 36,        // last device counter
    FRAME_EFFECT_MATRIX_SETS = 37,       // matrices handed to effects (an array counts each)
    FRAME_EFFECT_VECTOR_SETS = 38,       // effect values of more than 4 bytes
    FRAME_EFFECT_SCALAR_SETS = 39,       // effect floats and ints
    FRAME_EFFECT_TEXTURE_SETS = 40,      // textures handed to effects
    FRAME_INDEX_RUNS = 41,               // index runs copied into mesh index buffers
    FRAME_STATIC_WORLD_PIECES = 42,      // pieces drawn by the static-world lit and unlit draws
    FRAME_ENTITY_LIT_PIECES = 43,        // pieces drawn by the entity lit group draw
    FRAME_SMOOTH_SKIN_NORMAL_TIME = 44,  // time spent smoothing skin normals
    FRAME_SMOOTH_SKIN_NORMAL_CALLS = 45,
    FRAME_EFFECT_DISTINCT_TEXTURES = 46,  // textures an effect bound for the first time this frame
    FRAME_EFFECT_TEXTURE_BYTES = 47,      // their bytes
    FRAME_STAT_WORD_COUNT = 53,           // words 8 and 48-52 are spare
};

struct FrameStats {
    std::uint32_t words[FRAME_STAT_WORD_COUNT] = {};

    std::uint32_t& operator[](FrameStatWord word) { return words[word]; }
    std::uint32_t operator[](FrameStatWord word) const { return words[word]; }
    // Refreshes the two sum words (1 and 9) from their parts.
    void UpdateSums() {
        words[FRAME_DRAW_CALLS] = words[FRAME_DRAW_INDEXED] + words[FRAME_DRAW_INDEXED_USER] +
                                  words[FRAME_DRAW_NON_INDEXED];
        words[FRAME_BUFFER_BINDINGS] = words[FRAME_STREAM_BINDINGS] +
                                       words[FRAME_DYNAMIC_STREAM_BINDINGS] +
                                       words[FRAME_INDEX_BUFFER_BINDINGS];
    }
};

static_assert(sizeof(FrameStats) == 53 * 4);

}  // namespace Zel
