#include "Entity/Geometry/IOBodyPartBin.h"

#include <cctype>
#include <cstring>

#include "Core/ChunkStream.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/IOSkinBin.h"
#include "Entity/Geometry/LodCompanion.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/ImageFileKind.h"
#include "Entity/Texture/PushTextureScale.h"

namespace Zel {
namespace IOGeometryBodyPartBin {
namespace {

constexpr std::uint32_t kSelectorReserved = 256;
// The smallest pieces that can follow the record: a string record, a skinned-geometry chunk's
// header, a body texture chunk, a selector block.
constexpr std::uint64_t kStringMin = 12;
constexpr std::uint64_t kSkinEntryMin = kStringMin + 12 + ChunkRecordSize::kGeometrySkin;
constexpr std::uint64_t kTextureEntryMin = kStringMin + 12 + ChunkRecordSize::kBodyTexture;
constexpr std::uint64_t kSelectorMin = 16 + kSelectorReserved + 2 * kStringMin;

std::string g_lodRoot;
std::string g_lodFolder;

// Whether the path ends in "bp" (either case) and the digit.
bool EndsInForm(const std::string& path, char digit) {
    if (path.size() < 5)
        return false;
    const std::size_t n = path.size();
    return std::tolower(static_cast<unsigned char>(path[n - 3])) == 'b' &&
           std::tolower(static_cast<unsigned char>(path[n - 2])) == 'p' && path[n - 1] == digit;
}

// "x.bp3" becomes "x_lod.lod".
std::string CompanionFileName(const std::string& path) {
    return path.substr(0, path.size() - 4) + "_lod.lod";
}

// The path with its "output" (or "Output") folder replaced by "bp3lod".
std::string InBp3LodFolder(const std::string& path) {
    for (const char* folder : {"output", "Output"}) {
        const std::string name = folder;
        for (std::size_t at = path.find(name); at != std::string::npos;
             at = path.find(name, at + 1)) {
            const bool startsFolder = at == 0 || path[at - 1] == '/' || path[at - 1] == '\\';
            const std::size_t end = at + name.size();
            const bool endsFolder = end < path.size() && (path[end] == '/' || path[end] == '\\');
            if (startsFolder && endsFolder)
                return path.substr(0, at) + "bp3lod" + path.substr(end);
        }
    }
    return path;
}

}  // namespace

void SetLodFolders(const std::string& root, const std::string& folder) {
    g_lodRoot = root;
    g_lodFolder = folder;
}

std::string LodCompanionName(const std::string& path, LodForm form) {
    switch (form) {
        case LodForm::Bp3:
            return EndsInForm(path, '3') ? g_lodRoot + CompanionFileName(InBp3LodFolder(path))
                                         : std::string();
        case LodForm::Bp4:
            return EndsInForm(path, '4') ? g_lodFolder + GetFileName(CompanionFileName(path))
                                         : std::string();
        case LodForm::Bp5:
            return EndsInForm(path, '5')
                       ? g_lodRoot + "bp5lod/" + GetFileName(CompanionFileName(path))
                       : std::string();
    }
    return std::string();
}

OpenLodCompanion::OpenLodCompanion() = default;

OpenLodCompanion::~OpenLodCompanion() {
    Close();
}

void OpenLodCompanion::Close() {
    current_.reset();
    if (stream_)
        stream_->Release();
    stream_ = nullptr;
}

bool OpenLodCompanion::PrepareLodFileForRead(const std::string& companionPath) {
    if (stream_) {
        ReportChunkAssert(ZEL_CHUNK_SITE("Zel::IOGeometryBodyPartBin::PrepareLodFileForRead"),
                          "Exp Failed!");
        Close();
    }
    if (companionPath.empty())
        return false;
    stream_ = OpenMemoryStream(companionPath);
    if (!stream_)
        return false;
    current_ = std::make_unique<LodCompanion>(companionPath, stream_);
    return true;
}

bool OpenLodCompanion::OpenForPath(const std::string& path, bool onlyBp3) {
    for (LodForm form : {LodForm::Bp3, LodForm::Bp4, LodForm::Bp5}) {
        if (PrepareLodFileForRead(LodCompanionName(path, form)))
            return true;
        if (onlyBp3)
            break;
    }
    return false;
}

bool Read(GeometryBodyPart& part, IZelStream* stream, const std::string& path,
          bool useLodCompanion) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOGeometryBodyPartBin::Read");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_BODYPART, ChunkRecordSize::kBodyPart, site,
                    "IOGeometryBodyPartBin::Read读到错误的Tag"))
        return false;
    const std::uint32_t packed = chunk.U32(0);
    part.SetHeader(packed & 0xFF, packed >> 20, chunk.U32(4));
    const std::uint32_t skinCount = chunk.U32(8);
    const std::uint32_t textureCount = chunk.U32(12);
    const std::uint32_t selectorCount = chunk.U32(16);
    const std::uint64_t needed = skinCount * kSkinEntryMin + textureCount * kTextureEntryMin +
                                 selectorCount * kSelectorMin + 2 * kStringMin;
    if (!CountFits(stream, needed, 1)) {
        LogTyped(LOG_ENGINE_INIT,
                 "IOGeometryBodyPartBin::Read: %u skins, %u textures and %u selectors run past "
                 "the end of %s",
                 skinCount, textureCount, selectorCount, stream->GetName().c_str());
        return false;
    }
    const std::string directory = GetDirectory(path);

    bool skinsOk = true;
    {
        OpenLodCompanion companion;
        if (useLodCompanion && !path.empty())
            companion.OpenForPath(path, false);
        for (std::uint32_t i = 0; i < skinCount && skinsOk; ++i) {
            std::string name;
            if (!ReadShortString(stream, name)) {
                ReportChunkAssert(site, "IOGeometryBodyPartBin::Read读到错误的Tag");
                skinsOk = false;
                break;
            }
            GeometrySkin* skin = part.AddSkin(name);
            if (!skin) {
                LogTyped(LOG_ENGINE_INIT, "发现同名Skin %s", name.c_str());
                skinsOk = false;
                break;
            }
            // A skin that fails leaves the stream at an unknown place: nothing after it can be
            // read, so the first failure ends the skins.
            skinsOk = IOGeometrySkinBin::Read(*skin, stream, directory);
            skin->SetLoaded(true);
            skin->SetLoadSucceeded(skinsOk);
            if (!skinsOk)
                break;
            for (std::uint32_t m = 0; m < skin->GetMeshCount(); ++m)
                if (Mesh* mesh = skin->GetMesh(m))
                    mesh->BuildOpenEdgeVertices();
        }
    }
    if (!skinsOk)
        return false;

    for (std::uint32_t i = 0; i < textureCount; ++i) {
        std::string name;
        if (!ReadShortString(stream, name)) {
            ReportChunkAssert(site, "IOGeometryBodyPartBin::Read读取字符串错误");
            return false;
        }
        // The chunk header's offset lets the image be decoded again after it was dropped.
        BodyTextureEntry fresh;
        fresh.path = path;
        fresh.chunkOffset = stream->Tell();
        part.AddTextureEntry(name, fresh);
        BodyTextureEntry* entry = part.FindTextureEntry(name);
        entry->path = path;
        entry->chunkOffset = fresh.chunkOffset;
        Image* image = part.AddImage(name);
        if (!image) {
            LogTyped(LOG_ENGINE_INIT, "IOGeometryBodyPartBin::Read: body texture %s twice in %s",
                     name.c_str(), stream->GetName().c_str());
            return false;
        }
        if (!IOBodyTextureBin::Read(part, *image, stream, entry->slot, *entry))
            return false;
    }

    std::vector<PartLinkRecord>& links = part.GetLinkRecords();
    for (std::uint32_t i = 0; i < selectorCount; ++i) {
        PartLinkRecord record;
        std::vector<std::uint32_t> words;
        if (!ReadU32Array(stream, 4 + kSelectorReserved / 4, words))
            return false;
        record.slotA = words[0];
        record.idA = words[1];
        record.slotB = words[2];
        record.idB = words[3];
        if (!ReadShortString(stream, record.skinName)) {
            ReportChunkAssert(site, "IOGeometryBodyPartBin::Read读取Selector的skinName字符串错误");
            return false;
        }
        if (!ReadShortString(stream, record.imageName)) {
            ReportChunkAssert(site,
                              "IOGeometryBodyPartBin::Read读取Selector的materialName字符串错误");
            return false;
        }
        links.push_back(std::move(record));
    }
    std::string defaultSkin, defaultImage;
    if (!ReadShortString(stream, defaultSkin)) {
        ReportChunkAssert(site, "IOGeometryBodyPartBin::Read读取Selector的默认mesh名称错误");
        return false;
    }
    if (!ReadShortString(stream, defaultImage)) {
        ReportChunkAssert(site, "IOGeometryBodyPartBin::Read读取Selector的默认贴图名称错误");
        return false;
    }
    part.SetDefaultNames(std::move(defaultSkin), std::move(defaultImage));
    return true;
}

}  // namespace IOGeometryBodyPartBin

namespace IOBodyTextureBin {
namespace {

// The kind by the file name's extension; without one, by the bytes' signature (TGA has none).
int ImageKindOf(const std::string& fileName, IZelStream* stream) {
    const ImageFileKind byName = GetImageFileKind(fileName);
    if (byName != IMAGE_KIND_NONE)
        return byName;
    const std::uint32_t at = stream->Tell();
    std::uint8_t head[4] = {};
    const std::uint32_t got = stream->Read(head, 4);
    stream->Seek(at, STREAM_SEEK_SET);
    if (got < 4)
        return IMAGE_KIND_NONE;
    if (head[0] == 'B' && head[1] == 'M')
        return IMAGE_KIND_BMP;
    if (head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G')
        return IMAGE_KIND_PNG;
    if (std::memcmp(head, "DDS ", 4) == 0)
        return IMAGE_KIND_DDS;
    if (head[0] == 0xFF && head[1] == 0xD8)
        return IMAGE_KIND_JPEG;
    return IMAGE_KIND_TGA;
}

}  // namespace

bool Read(GeometryBodyPart&, Image& image, IZelStream* stream, std::uint32_t& slot,
          BodyTextureEntry& entry) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOBodyTextureBin::Read");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_BODYTEXTURE, ChunkRecordSize::kBodyTexture, site,
                    "IOBodyTextureBin::Read读取到错误的Tag"))
        return false;
    slot = chunk.U32(0);
    const std::uint32_t imageSize = chunk.U32(8);
    std::string fileName;
    if (!ReadShortString(stream, fileName)) {
        ReportChunkAssert(site, "IOBodyTextureBin::Read时读取fileName字符串错误");
        return false;
    }
    const std::size_t cut = fileName.find_last_of("/\\");
    entry.fileName = cut == std::string::npos ? fileName : fileName.substr(cut + 1);
    const std::uint32_t start = stream->Tell();
    // The image bytes must lie inside the stream: a decoder never sees what lies past the chunk.
    bool ok = CountFits(stream, imageSize, 1);
    if (ok) {
        const int kind = ImageKindOf(entry.fileName, stream);
        int savedLevel = 0;
        bool savedCompression = false;
        PushTextureScale(&savedLevel, &savedCompression);
        ok = image.DecodeFromMemory(stream, kind, imageSize);
        PopTextureScale(savedLevel, savedCompression);
    }
    if (!ok) {
        ReportChunkAssert(site, "IOBodyTextureBin::Read时读取贴图chunk失败");
        return false;
    }
    image.SetResourceWord(chunk.GetResourceWord());
    image.MarkLoaded();
    stream->Seek(static_cast<std::int64_t>(start) + imageSize, STREAM_SEEK_SET);
    return true;
}

}  // namespace IOBodyTextureBin
}  // namespace Zel
