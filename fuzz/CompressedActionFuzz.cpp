// libFuzzer target over the compressed action decoder: the input is a whole ".ac6" file. The
// header is read against a skeleton of 511 bones, then every track is played forward, stepped
// back and asked twice for one frame through its own cursor; last, all tracks are played forward
// together through the batch move, as channels play them.
//
//   CompressedActionFuzz --write-seeds=DIR   writes the seed corpus
//   CompressedActionFuzz [libFuzzer flags] CORPUS...
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/LogDispatch.h"
#include "Entity/Character/CDecompress.h"
#include "Entity/Character/CompressedTrackCursor.h"
#include "fuzz/FuzzSeeds.h"
#include "modelgen/CompressedActionFile.h"

namespace {

void WriteSeeds(const std::filesystem::path& dir) {
    namespace mg = ZelModelGen;
    int n = 0;
    for (std::uint32_t tracks : {1u, 3u, 8u}) {
        for (bool wide : {false, true}) {
            mg::CompressedActionDesc a = mg::SyntheticCompressedAction(tracks, 6 + tracks, tracks);
            a.wideOffsets = wide;
            if (tracks == 3)
                a.tracks[1].quantiseConstants = true;
            ZelFuzz::SaveSeed(dir, "action" + std::to_string(n++),
                              mg::WriteCompressedActionFile(a).bytes);
        }
    }
}

void Quiet(int, const char*) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    Zel::SetLogHandler(&Quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Zel::CDecompress codec;
    codec.SetBuffer(data, size);
    float length = 0;
    std::uint32_t count = 0;
    std::vector<std::int32_t> bones;
    if (codec.ReadHeader(511, length, count, bones) != Zel::CodecFault::None)
        return 0;
    for (std::uint32_t t = 0; t < count; ++t) {
        Zel::TrackDescriptor d;
        codec.GetTrackDescriptor(t, d);
        Zel::CompressedTrackCursor cursor(&codec, t);
        const std::uint32_t frames = std::min<std::uint32_t>(d.frameCount, 64);
        for (std::uint32_t f = 0; f < frames; ++f) {
            if (cursor.MoveTo(f) != Zel::CodecFault::None)
                break;
        }
        cursor.MoveTo(d.frameCount ? d.frameCount - 1 : 0);
        cursor.MoveTo(0);
        float position[3], rotation[4];
        codec.DecodeFrame(cursor, frames / 2, position, rotation);
        codec.DecodeFrame(cursor, frames / 2, position, rotation);
    }
    std::vector<Zel::CompressedTrackCursor> cursors;
    cursors.reserve(count);
    std::uint32_t longest = 0;
    for (std::uint32_t t = 0; t < count; ++t) {
        Zel::TrackDescriptor d;
        codec.GetTrackDescriptor(t, d);
        longest = std::max(longest, d.frameCount);
        cursors.emplace_back(&codec, t);
    }
    for (std::uint32_t f = 0; f < std::min<std::uint32_t>(longest, 64); ++f)
        Zel::CompressedTrackCursor::MoveTo(cursors, f);
    return 0;
}
