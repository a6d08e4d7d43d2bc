// The "_lod" companion of the body part being read: its file name and its stream, which the mesh
// and index-buffer readers consult to append the companion's strips and indices. The companion is
// current on the thread that installs it, for the life of the LodCompanion object, so readers on
// another thread never see it. Objects nest: the innermost is current.
#pragma once

#include <string>

namespace Zel {

class IZelStream;

class LodCompanion {
public:
    // Makes the companion current; the stream is not owned and must outlive this object.
    LodCompanion(std::string fileName, IZelStream* stream);
    // Puts back the companion that was current before.
    ~LodCompanion();
    LodCompanion(const LodCompanion&) = delete;
    LodCompanion& operator=(const LodCompanion&) = delete;

    // The current companion when its name is not empty and its stream not null; else null.
    static const LodCompanion* Current();

    const std::string& GetFileName() const { return fileName_; }
    IZelStream* GetStream() const { return stream_; }

private:
    std::string fileName_;
    IZelStream* stream_;
    const LodCompanion* previous_;
};

}  // namespace Zel
