#include "Entity/Geometry/IOActionBin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "Core/ChunkStream.h"
#include "Core/DebugHelperImpl.h"
#include "Core/Globals.h"
#include "Core/IZelFileStream.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Core/StreamFactory.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/StreamHolder.h"

namespace Zel {

namespace {

constexpr std::uint32_t kPositionKeyBytes = 16;
constexpr std::uint32_t kRotationKeyBytes = 20;
constexpr std::uint32_t kScaleKeyBytes = 16;
constexpr std::uint32_t kAt6HeaderBytes = 24;
constexpr std::uint32_t kAt6EntryBytes = 72;
constexpr std::uint32_t kAt6ActionBytes = 84;
constexpr std::uint32_t kAt6TrackHeadBytes = 24;
constexpr std::uint32_t kAt6TrackBytes = 184;

// Where the fields of a track record stand: the chunk record and the plain file's record order
// them differently.
struct TrackLayout {
    std::uint32_t value0, value1, frameCount, flags, firstVector, vectors23, boneIndex;
};
constexpr TrackLayout kChunkTrack = {4, 12, 76, 28, 32, 48, 72};
constexpr TrackLayout kPlainTrack = {4, 8, 16, 20, 24, 36, 60};

// The key words and counts of a key record (chunk) or of the plain record's tail.
struct KeyLayout {
    std::uint32_t words, positionCount, rotationCount, scaleCount;  // scaleCount 0: none
};
constexpr KeyLayout kChunkKeys = {0, 36, 40, 44};
constexpr KeyLayout kPlainKeys = {72, 108, 112, 0};

void ApplyTrackRecord(const ChunkRecord& r, const TrackLayout& at, AnimationTrack& track,
                      std::uint32_t& boneIndex) {
    track.SetFrameInterval(r.F32(at.value0));
    track.SetLength(r.F32(at.value1));
    track.SetFlags(r.U32(at.flags));
    track.SetFrameCount(r.U32(at.frameCount));
    float position[3], scale[3], rotation[4];
    for (std::uint32_t k = 0; k < 3; ++k) {
        position[k] = r.F32(at.firstVector + 4 * k);
        scale[k] = r.F32(at.vectors23 + 4 * k);
        rotation[k] = r.F32(at.vectors23 + 12 + 4 * k);
    }
    // The record keeps x, y and z of the unit rotation; w completes it.
    const float xyz =
        rotation[0] * rotation[0] + rotation[1] * rotation[1] + rotation[2] * rotation[2];
    rotation[3] = xyz < 1.0f ? std::sqrt(1.0f - xyz) : 0.0f;
    track.SetBaseTransform(position, rotation, scale);
    boneIndex = r.U32(at.boneIndex);
}

template <class Key>
void ApplyRange(const ChunkRecord& r, std::uint32_t at, AnimationTrack::Channel<Key>& channel) {
    channel.firstKind = r.I32(at);
    channel.first = r.I32(at + 4);
    channel.last = r.I32(at + 8);
}

std::vector<float> ReadFloats(IZelStream* stream, std::uint32_t count) {
    std::vector<std::uint32_t> words;
    std::vector<float> floats;
    if (!ReadU32Array(stream, count, words))
        return floats;
    floats.resize(words.size());
    if (!words.empty())
        std::memcpy(floats.data(), words.data(), words.size() * 4);
    return floats;
}

void SetKey(AnimationTrack::VectorKey& key, const float* f) {
    key = {f[0], f[1], f[2], f[3]};
}

void SetKey(AnimationTrack::RotationKey& key, const float* f) {
    key = {f[0], f[1], f[2], f[3], f[4]};
}

// count keys of N floats each (the time last).
template <std::uint32_t N, class Key>
bool ReadKeyArray(IZelStream* stream, std::uint32_t count, std::vector<Key>& keys) {
    const std::vector<float> f = ReadFloats(stream, N * count);
    if (f.size() != std::size_t(N) * count)
        return false;
    keys.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) SetKey(keys[i], &f[std::size_t(N) * i]);
    return true;
}

// A frame table: every entry -1 or a key of the channel.
template <class Key>
bool ReadFrameTable(IZelStream* stream, std::uint32_t frames, AnimationTrack::Channel<Key>& channel,
                    const char* kind) {
    std::vector<std::uint32_t> words;
    if (!ReadU32Array(stream, frames, words))
        return false;
    channel.frameKeys.resize(frames);
    for (std::uint32_t f = 0; f < frames; ++f) {
        const auto entry = static_cast<std::int32_t>(words[f]);
        if (entry < -1 || (entry >= 0 && static_cast<std::size_t>(entry) >= channel.keys.size())) {
            LogTyped(LOG_ENGINE_INIT,
                     "IOAnimationBin: frame %u of the %s table names key %d of %zu in %s", f, kind,
                     entry, channel.keys.size(), stream->GetName().c_str());
            channel.frameKeys.clear();
            return false;
        }
        channel.frameKeys[f] = entry;
    }
    return true;
}

// The key arrays and frame tables after a key record. counts: position, rotation, scale.
bool ReadKeyArrays(AnimationTrack& track, const std::uint32_t counts[3], IZelStream* stream) {
    const std::uint32_t frames = track.GetFrameCount();
    const std::uint64_t keyBytes = std::uint64_t(counts[0]) * kPositionKeyBytes +
                                   std::uint64_t(counts[1]) * kRotationKeyBytes +
                                   std::uint64_t(counts[2]) * kScaleKeyBytes;
    const std::uint64_t tables = (counts[0] > 0) + (counts[1] > 0) + (counts[2] > 0);
    if (!CountFits(stream, keyBytes + tables * frames * 4ull, 1)) {
        LogTyped(LOG_ENGINE_INIT,
                 "IOAnimationBin: %u position, %u rotation and %u scale keys over %u frames run "
                 "past the end of %s",
                 counts[0], counts[1], counts[2], frames, stream->GetName().c_str());
        return false;
    }
    track.ClearKeys();
    if ((counts[0] && !ReadKeyArray<4>(stream, counts[0], track.Positions().keys)) ||
        (counts[1] && !ReadKeyArray<5>(stream, counts[1], track.Rotations().keys)) ||
        (counts[2] && !ReadKeyArray<4>(stream, counts[2], track.Scales().keys)))
        return false;
    if (frames == 0)
        return true;
    return (!counts[0] || ReadFrameTable(stream, frames, track.Positions(), "position")) &&
           (!counts[1] || ReadFrameTable(stream, frames, track.Rotations(), "rotation")) &&
           (!counts[2] || ReadFrameTable(stream, frames, track.Scales(), "scale"));
}

bool ReadKeysAfter(const ChunkRecord& r, const KeyLayout& at, AnimationTrack& track,
                   IZelStream* stream) {
    ApplyRange(r, at.words, track.Positions());
    ApplyRange(r, at.words + 12, track.Rotations());
    ApplyRange(r, at.words + 24, track.Scales());
    const std::uint32_t counts[3] = {r.U32(at.positionCount), r.U32(at.rotationCount),
                                     at.scaleCount ? r.U32(at.scaleCount) : 0};
    return ReadKeyArrays(track, counts, stream);
}

bool ReadKeys(AnimationTrack& track, IZelStream* stream) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOAnimationBin::ReadKeys");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_ANIMATIONKEYS, ChunkRecordSize::kAnimationKeys, site,
                    "IOAnimationBin::Read读取到错误的Tag"))
        return false;
    return ReadKeysAfter(chunk, kChunkKeys, track, stream);
}

std::unique_ptr<AnimationTrack> NewTrack() {
    return std::make_unique<AnimationTrack>(nullptr, "", "", 0);
}

// The header, record, names and bone indices shared by both action chunk readers. Answers the
// track count; false after its report.
struct ActionHead {
    float length = 0.0f;
    std::uint32_t trackCount = 0;
    std::vector<std::uint32_t> boneIndices;
};

bool ReadActionHead(IZelStream* stream, const char* function, const std::string& prefix,
                    std::string& actionName, std::string& fileName, std::uint32_t& resourceWord,
                    ActionHead& head) {
    const ChunkSite site{__FILE_NAME__, __LINE__, function};
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_ACTION, ChunkRecordSize::kAction, site,
                    (prefix + "读取到错误的Tag").c_str()))
        return false;
    resourceWord = chunk.GetResourceWord();
    head.length = chunk.F32(0);
    const std::uint32_t boneCount = chunk.U32(8);
    head.trackCount = chunk.U32(12);
    if (!ReadShortString(stream, actionName)) {
        ReportChunkAssert(site, "%s读取ActionName失败", prefix.c_str());
        return false;
    }
    if (!ReadShortString(stream, fileName)) {
        ReportChunkAssert(site, "%s读取Action Filename失败", prefix.c_str());
        return false;
    }
    const std::uint64_t smallestTrack =
        12 + ChunkRecordSize::kAnimation + 12 + ChunkRecordSize::kAnimationKeys;
    if (!ReadU32Array(stream, boneCount, head.boneIndices) ||
        !CountFits(stream, head.trackCount, smallestTrack)) {
        LogTyped(LOG_ENGINE_INIT, "%s: %u bone indices and %u tracks run past the end of %s",
                 prefix.c_str(), boneCount, head.trackCount, stream->GetName().c_str());
        return false;
    }
    return true;
}

// The tracks of an action chunk with the bone each drives; false on the first refused track,
// which leaves the stream out of step for whatever follows.
using BoneTracks = std::vector<std::pair<std::unique_ptr<AnimationTrack>, std::int32_t>>;

bool ReadTracks(IZelStream* stream, std::uint32_t count, BoneTracks& tracks) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::unique_ptr<AnimationTrack> track = NewTrack();
        std::uint32_t bone = 0;
        if (!IOAnimationBin::Read(*track, bone, stream))
            return false;
        track->SetFlags(track->GetFlags() | AnimationTrack::kKeepsPosition);
        tracks.emplace_back(std::move(track), static_cast<std::int32_t>(bone));
    }
    return true;
}

ActionManager* Actions() {
    return Globals::Find(&Globals::GetActionManager);
}

}  // namespace

int GetActionFileKind(const std::string& path) {
    if (path.size() < 3)
        return 4;
    const std::string tail = path.substr(path.size() - 3);
    if (tail == "ac6" || tail == "AC6")
        return 0;
    if (tail == "at6" || tail == "AT6")
        return 1;
    if (tail == "ASE" || tail == "ase")
        return 2;
    return 4;
}

namespace IOActionBin {

bool ReadAction(ActionResource& resource, const std::string& path) {
    const int kind = GetActionFileKind(path);
    DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper);
    const auto report = [&](const char* format) {
        if (reporter)
            reporter->Error(format, path.c_str());
        else
            LogError(format, path.c_str());
    };
    if (kind == 4) {
        report("IOActionBin::ReadAction 无法识别的文件后缀 %s");
        return false;
    }
    if (kind == 2)
        return false;
    StreamHolder stream(OpenMemoryStream(path));
    if (!stream) {
        report("IOActionBin::ReadAction 无法加载文件 %s");
        return false;
    }
    if (kind == 0) {
        std::vector<std::uint8_t> bytes(stream->GetSize());
        if (!bytes.empty() && stream->Read(bytes.data(), stream->GetSize()) != bytes.size())
            return false;
        return resource.ReadCompressed(bytes.data(), bytes.size());
    }
    const bool ok = FinishChunkRead(stream.get(), ReadAt6(resource, stream.get(), 0));
    if (!ok)
        resource.UnloadImpl();
    return ok;
}

bool ReadAt6(ActionResource& resource, IZelStream* stream, std::uint32_t baseOffset) {
    const char* name = stream->GetName().c_str();
    stream->Seek(baseOffset, 0);
    std::vector<std::uint32_t> header;
    if (!ReadU32Array(stream, kAt6HeaderBytes / 4, header) ||
        !CountFits(stream, header[5], kAt6EntryBytes)) {
        LogTyped(LOG_ENGINE_INIT, "IOActionBin::ReadAt6: the entry table runs past the end of %s",
                 name);
        return false;
    }
    const std::uint32_t entryCount = header[5];
    std::vector<std::uint32_t> offsets(entryCount);
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        std::vector<std::uint32_t> entry;
        ReadU32Array(stream, kAt6EntryBytes / 4, entry);
        offsets[i] = entry[1];
    }
    ChunkRecord block;
    block.ReadRecord(stream, kAt6ActionBytes, false, ZEL_CHUNK_SITE("Zel::IOActionBin::ReadAt6"));
    std::vector<std::uint32_t> boneIndices;
    if (!ReadU32Array(stream, block.U32(8), boneIndices)) {
        LogTyped(LOG_ENGINE_INIT, "IOActionBin::ReadAt6: %u bone indices run past the end of %s",
                 block.U32(8), name);
        return false;
    }
    resource.SetLength(block.F32(0));
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        const std::uint64_t at = std::uint64_t(offsets[i]) + baseOffset;
        if (at + kAt6TrackHeadBytes + kAt6TrackBytes > stream->GetSize()) {
            LogTyped(LOG_ENGINE_INIT, "IOActionBin::ReadAt6: track %u at %llu lies outside %s", i,
                     static_cast<unsigned long long>(at), name);
            return false;
        }
        stream->Seek(static_cast<std::int64_t>(at + kAt6TrackHeadBytes), 0);
        std::unique_ptr<AnimationTrack> track = NewTrack();
        std::uint32_t bone = 0;
        if (!IOAnimationBin::ReadAt6Track(*track, bone, stream))
            return false;
        resource.AddTrack(std::move(track), static_cast<std::int32_t>(bone));
    }
    return true;
}

bool Read(Action& action, const std::string& pathPrefix, std::string& actionName,
          std::string& fileName, const std::string& skeletonName, IZelStream* stream,
          std::uint32_t& resourceWord) {
    ActionHead head;
    if (!ReadActionHead(stream, "Zel::IOActionBin::Read", "IOActionBin::Read", actionName, fileName,
                        resourceWord, head))
        return false;
    const std::string path = pathPrefix + fileName;
    action.SetName(actionName);
    ActionManager* actions = Actions();
    auto* resource = actions ? static_cast<ActionResource*>(actions->GetByName(path)) : nullptr;
    if (!resource && actions)
        resource = static_cast<ActionResource*>(actions->Create(path));
    const bool fill = resource && !resource->IsLoaded();
    BoneTracks tracks;
    if (!ReadTracks(stream, head.trackCount, tracks))
        return false;
    if (!resource)
        return true;
    if (fill) {
        resource->UnloadImpl();
        resource->SetLength(head.length);
        for (auto& [track, bone] : tracks) resource->AddTrack(std::move(track), bone);
        if (actions)
            actions->ReplaceSharedAction(*resource, skeletonName);
        resource->SetLoaded(true);
        resource->SetLoadSucceeded(true);
    }
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    Skeleton* skeleton =
        skeletons ? static_cast<Skeleton*>(skeletons->AcquireByName(skeletonName)) : nullptr;
    action.Bind(resource, skeleton);
    return true;
}

bool ReadActionResource(ActionResource& resource, std::string& actionName, std::string& fileName,
                        IZelStream* stream) {
    ActionHead head;
    std::uint32_t resourceWord = 0;
    if (!ReadActionHead(stream, "Zel::IOActionBin::ReadActionResource",
                        "IOActionBin::ReadActionResource", actionName, fileName, resourceWord,
                        head))
        return false;
    BoneTracks tracks;
    if (!ReadTracks(stream, head.trackCount, tracks))
        return false;
    resource.SetLength(head.length);
    for (auto& [track, bone] : tracks) resource.AddTrack(std::move(track), bone);
    return true;
}

}  // namespace IOActionBin

namespace IOAnimationBin {

bool Read(AnimationTrack& track, std::uint32_t& boneIndex, IZelStream* stream) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOAnimationBin::Read");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_ANIMATION, ChunkRecordSize::kAnimation, site,
                    "IOAnimationBin::Read读取到错误的Tag"))
        return false;
    ApplyTrackRecord(chunk, kChunkTrack, track, boneIndex);
    return ReadKeys(track, stream);
}

bool ReadAt6Track(AnimationTrack& track, std::uint32_t& boneIndex, IZelStream* stream) {
    ChunkRecord record;
    record.ReadRecord(stream, kAt6TrackBytes, false,
                      ZEL_CHUNK_SITE("Zel::IOAnimationBin::ReadAt6Track"));
    ApplyTrackRecord(record, kPlainTrack, track, boneIndex);
    return ReadKeysAfter(record, kPlainKeys, track, stream);
}

}  // namespace IOAnimationBin
}  // namespace Zel
