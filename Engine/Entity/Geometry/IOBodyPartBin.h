// Readers of the body-part file (tag 25: skin variants, embedded body textures and selectors) and
// of its body texture chunk (tag 26), and the naming of the "_lod" companion file that supplies a
// body part's or a cloth geometry's extra LOD strips and indices. Loading thread only; every count
// is checked against the bytes left before anything is allocated.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace Zel {

class GeometryBodyPart;
class Image;
class IZelStream;
class LodCompanion;
struct BodyTextureEntry;

namespace IOGeometryBodyPartBin {

// The forms of a companion name tried in order (bp3, bp4, bp5).
enum class LodForm { Bp3, Bp4, Bp5 };

// Where companions are looked for: the root holds the "bp3lod" and "bp5lod/" folders, the folder
// holds ".bp4" companions directly. Both empty by default (companions beside the working
// directory's paths). Process-wide; set before loading starts.
void SetLodFolders(const std::string& root, const std::string& folder);

// The companion name of the part path in one form; empty when the path does not end in that
// form's letters ("bp3", "bp4", "bp5", letters in either case).
std::string LodCompanionName(const std::string& path, LodForm form);

// An open companion, current on this thread while the object lives (see LodCompanion).
class OpenLodCompanion {
public:
    OpenLodCompanion();
    ~OpenLodCompanion();
    OpenLodCompanion(const OpenLodCompanion&) = delete;
    OpenLodCompanion& operator=(const OpenLodCompanion&) = delete;
    // Opens the companion file into a memory stream and makes it current; false when it cannot
    // be opened. A companion that is already open is closed first, after "Exp Failed!".
    bool PrepareLodFileForRead(const std::string& companionPath);
    // Tries the forms from first to last (only the bp3 form when onlyBp3); true when one opened.
    bool OpenForPath(const std::string& path, bool onlyBp3);
    void Close();

private:
    IZelStream* stream_ = nullptr;
    std::unique_ptr<LodCompanion> current_;
};

// A whole body-part chunk into the part. Skins come first and a failed skin fails the part once
// the companion is closed; textures and selectors follow. useLodCompanion: look for the "_lod"
// companion of the path.
bool Read(GeometryBodyPart& part, IZelStream* stream, const std::string& path,
          bool useLodCompanion = true);

}  // namespace IOGeometryBodyPartBin

namespace IOBodyTextureBin {

// One body texture chunk: the slot is handed back, the embedded image decoded (only from the bytes
// the chunk declares, which must lie inside the stream) into image, and the stream left after the
// image bytes. The entry gets the image's file name.
bool Read(GeometryBodyPart& part, Image& image, IZelStream* stream, std::uint32_t& slot,
          BodyTextureEntry& entry);

}  // namespace IOBodyTextureBin
}  // namespace Zel
