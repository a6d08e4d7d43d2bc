// Readers of actions and their animation tracks: the action chunk (tag 6) of skinned-geometry
// files and action libraries with its track chunks (tag 7) and key chunks (tag 8), the plain
// action file (".at6", an offset table without chunk headers), and the routing of an action file
// by its extension. Track fields map onto AnimationTrack as its header describes. Loading thread.
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

class Action;
class ActionResource;
class AnimationTrack;
class IZelStream;

// The kind of an action file from the last three characters of its path, case-sensitively: "ac6"
// or "AC6" 0 (compressed), "at6" or "AT6" 1 (plain), "ASE" or "ase" 2 (ASE scene), anything else
// (and paths shorter than three characters) 4.
int GetActionFileKind(const std::string& path);

namespace IOActionBin {

// One action file by its kind: compressed files go to ActionResource::ReadCompressed, plain ones
// to ReadAt6; ASE scenes answer false without a message (they are built elsewhere); an unknown
// suffix or a file that cannot be opened is reported. The resource holds nothing after a failed
// plain read.
bool ReadAction(ActionResource& resource, const std::string& path);

// A plain action file whose header stands at baseOffset: the length, the bone indices and one
// track per entry, read at the entry's offset. False, logged, on any block that leaves the file
// or any track that is refused.
bool ReadAt6(ActionResource& resource, IZelStream* stream, std::uint32_t baseOffset);

// An action chunk of a ".ch3": the action takes the chunk's name; the action resource of
// pathPrefix + the chunk's file name is taken from the action manager and, when new, filled with
// the tracks, bound to the skeleton of skeletonName and marked loaded; the action is bound to it.
// A failed track fails the action (the stream is out of step after it).
bool Read(Action& action, const std::string& pathPrefix, std::string& actionName,
          std::string& fileName, const std::string& skeletonName, IZelStream* stream,
          std::uint32_t& resourceWord);

// An action chunk into the given resource: length, bone indices and every track.
bool ReadActionResource(ActionResource& resource, std::string& actionName, std::string& fileName,
                        IZelStream* stream);

}  // namespace IOActionBin

namespace IOAnimationBin {

// A track chunk and its key chunk; the bone index of the record is handed back. False on a wrong
// tag, on key arrays or frame tables that leave the stream, or on a frame table entry that is
// neither -1 nor below its channel's key count.
bool Read(AnimationTrack& track, std::uint32_t& boneIndex, IZelStream* stream);

// The track block of a plain action file (after its 24-byte head): the 184-byte record, the
// position and rotation keys and their frame tables. Same refusals as Read.
bool ReadAt6Track(AnimationTrack& track, std::uint32_t& boneIndex, IZelStream* stream);

}  // namespace IOAnimationBin
}  // namespace Zel
