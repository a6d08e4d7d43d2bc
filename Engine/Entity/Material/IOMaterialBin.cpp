#include "Entity/Material/IOMaterialBin.h"

#include <array>
#include <cstring>

#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Entity/Texture/AnimationTexture.h"
#include "Core/ChunkStream.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Material/RenderState.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Material/TextureStage.h"

namespace Zel {
namespace IOMaterialBin {

namespace {

constexpr std::uint32_t kHeaderBytes = 12;
constexpr std::uint32_t kLibRecord = 260;
constexpr std::uint32_t kMaterialRecord = 348;
constexpr std::uint32_t kPassRecord = 308;
constexpr std::uint32_t kRenderStateRecord = 300;
constexpr std::uint32_t kStageRecord = 416;
constexpr std::uint32_t kTextureRecord = 260;
constexpr std::uint32_t kFramesRecord = 264;
constexpr std::uint32_t kStringHeader = 12;
constexpr std::uint32_t kFaceCount = 6;

// The fewest bytes one counted item can take, so that a count can be checked before anything is
// read: a material is its name and a chunk with two strings; a pass a chunk and a render-state
// chunk; a stage group two chunks and a string (a cube or animated texture takes more).
constexpr std::uint64_t kMinMaterialBytes =
    kStringHeader + kHeaderBytes + kMaterialRecord + 2 * kStringHeader;
constexpr std::uint64_t kMinPassBytes =
    kHeaderBytes + kPassRecord + kHeaderBytes + kRenderStateRecord;
constexpr std::uint64_t kMinStageGroupBytes =
    kHeaderBytes + kStageRecord + kHeaderBytes + kTextureRecord;

template <std::size_t N>
using Record = std::array<std::uint8_t, N>;

bool Fail(const char* what) {
    LogTyped(LOG_ENGINE_INIT, "BinaryIO Error : %s", what);
    return false;
}

// Reads exactly bytes.size() bytes; a stream that ends first fails the read.
template <std::size_t N>
bool ReadRecord(Record<N>& bytes, IZelStream* stream) {
    if (BytesLeft(stream) < N)
        return Fail("Unexpected end of file");
    return stream->Read(bytes.data(), std::uint32_t(N)) == N;
}

// Whether count items of at least itemBytes each can still follow.
bool CountFits(std::uint64_t count, std::uint64_t itemBytes, IZelStream* stream) {
    if (count * itemBytes > BytesLeft(stream))
        return Fail("Count exceeds the bytes left");
    return true;
}

std::uint32_t U32(const std::uint8_t* at) {
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
           std::uint32_t(at[3]) << 24;
}

float F32(const std::uint8_t* at) {
    const std::uint32_t bits = U32(at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void Floats(const std::uint8_t* at, float* out, int count) {
    for (int i = 0; i < count; ++i) out[i] = F32(at + 4 * i);
}

bool ExpectTag(IZelStream* stream, Tag tag, const char* wrongTag, ChunkHeader* header = nullptr) {
    ChunkHeader read;
    if (!ReadLibChunkHeader(read, stream))
        return false;
    if (read.tag != tag)
        return Fail(wrongTag);
    if (header)
        *header = read;
    return true;
}

// A chunk header of the tag and the fixed-size record after it.
template <std::size_t N>
bool ReadChunk(IZelStream* stream, Tag tag, const char* wrongTag, Record<N>& record,
               ChunkHeader* header = nullptr) {
    return ExpectTag(stream, tag, wrongTag, header) && ReadRecord(record, stream);
}

void ResolveStage(TextureStage& stage) {
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
        textures->ResolveTextureSlot(stage);
}

bool ReadAnimationFrames(TextureStage& stage, IZelStream* stream) {
    Record<kFramesRecord> record;
    if (!ReadChunk(stream, TAG_ANIMATION_FRAMES, "Wrong Animation Texture chunk Tag", record))
        return false;
    const std::uint32_t frames = U32(&record[0]);
    if (!CountFits(frames, kStringHeader, stream))
        return false;
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    auto* animated = textures ? static_cast<AnimationTexture*>(
                                    textures->CreateTexture(MP_MANAGED, TextureBase::KIND_ANIMATED))
                              : nullptr;
    if (animated)
        animated->SetFrameTime(F32(&record[4]));
    for (std::uint32_t i = 0; i < frames; ++i) {
        std::string frame;
        if (!ReadLibString(frame, stream)) {
            // Nobody else holds the half-filled texture yet.
            if (animated)
                textures->ForceRemove(animated);
            return false;
        }
        stage.textureName += frame;
        stage.textureName += '*';
        if (animated)
            animated->AddFrame(textures->LoadNamedTexture(frame));
    }
    stage.SetTexture(animated);
    return true;
}

}  // namespace

bool ReadLibChunkHeader(ChunkHeader& header, IZelStream* stream) {
    if (BytesLeft(stream) < kHeaderBytes)
        return Fail("Unexpected end of file");
    return ReadThreeInts(header.tag, header.count, header.offset, stream) == kHeaderBytes;
}

bool ReadLibString(std::string& text, IZelStream* stream) {
    if (ReadShortString(stream, text))
        return true;
    return Fail("Zel::ZelString Error");
}

bool ReadMaterialLib(MaterialManager& manager, std::vector<Material*>& list, IZelStream* stream,
                     const std::string& path, bool hold) {
    list.clear();
    Record<kLibRecord> record;
    if (!ReadChunk(stream, TAG_MATERIAL_LIB, "Wrong MaterialLib chunk Tag", record))
        return false;
    const std::uint32_t count = U32(&record[0]);
    if (!CountFits(count, kMinMaterialBytes, stream))
        return false;
    bool ok = true;
    for (std::uint32_t i = 0; i < count && ok; ++i) {
        std::string name;
        if (!ReadLibString(name, stream))
            return false;
        if (Material* existing = manager.FindMaterial(name, false)) {
            existing->Reload();
            LogTyped(LOG_ENGINE_INIT, "%s 发现同名Material", name.c_str());
            Material dummy(nullptr, "dummy", manager.GetTypeName(), 0);
            ok = ReadMaterialChunk(dummy, stream);
            continue;
        }
        auto* material = dynamic_cast<Material*>(manager.Create(name, path));
        if (!material)
            return false;
        material->SetTextureLoadOptions(TextureLoadOptions::Capture());
        ok = ReadMaterialChunk(*material, stream);
        material->MarkLoaded(ok);
        if (hold)
            manager.HoldMaterial(material);
        list.push_back(material);
    }
    return ok;
}

bool ReadMaterialChunk(Material& material, IZelStream* stream) {
    ChunkHeader header;
    Record<kMaterialRecord> record;
    if (!ReadChunk(stream, TAG_MATERIAL, "Wrong Material chunk Tag", record, &header))
        return false;
    material.SetLibraryOffset(header.offset);
    material.flags = U32(&record[4]);
    material.lightingMode = U32(&record[8]);
    material.firstSettingWord = U32(&record[12]);
    material.techniqueCode = U32(&record[16]);
    material.secondSettingWord = U32(&record[20]);
    Floats(&record[24], material.ambient, 4);
    Floats(&record[40], material.diffuse, 4);
    Floats(&record[56], material.specular, 4);
    Floats(&record[72], material.illumination, 4);
    material.shininess = F32(&record[88]);

    std::string name, unused;
    if (!ReadLibString(name, stream) || !ReadLibString(unused, stream))
        return false;
    material.SetName(name);
    if (!CountFits(header.count, kMinPassBytes, stream))
        return false;
    for (std::uint32_t i = 0; i < header.count; ++i)
        if (!ReadPassChunk(*material.CreatePass(i), stream))
            return false;
    // The effect key reads the passes' shininess and normals: they must be final first.
    material.UpdatePasses();
    material.AssignGeneratedProgram();
    return true;
}

bool ReadPassChunk(Pass& pass, IZelStream* stream) {
    Record<kPassRecord> record;
    if (!ReadChunk(stream, TAG_PASS, "Wrong Pass chunk Tag", record))
        return false;
    pass.passIndex = U32(&record[0]);
    pass.libraryFlag = U32(&record[4]) != 0 ? 1 : 0;
    pass.vertexFlags = U32(&record[12]);
    pass.vertexProgramKind = U32(&record[16]);
    pass.skinningType = U32(&record[20]);
    pass.influenceCount = U32(&record[24]);
    pass.positionMode = U32(&record[28]);
    pass.passFlags = U32(&record[32]);
    return ReadRenderStateChunk(pass.renderState, stream);
}

bool ReadRenderStateChunk(RenderState& state, IZelStream* stream) {
    Record<kRenderStateRecord> record;
    if (!ReadChunk(stream, TAG_RENDER_STATE, "Wrong RenderState chunk Tag", record))
        return false;
    state.cullMode = U32(&record[0]);
    state.depthFunc = U32(&record[4]);
    state.alphaFunc = U32(&record[8]);
    state.stencilFunc = U32(&record[12]);
    state.srcBlend = U32(&record[20]);
    state.destBlend = U32(&record[24]);
    state.alphaRef = U32(&record[28]);
    state.flags = U32(&record[32]);
    const std::uint32_t groups = U32(&record[36]);
    state.colourWriteMask = U32(&record[40]);
    if (!CountFits(groups, kMinStageGroupBytes, stream))
        return false;
    for (std::uint32_t i = 0; i < groups; ++i) {
        TextureStage stage;
        if (!ReadTextureStageChunk(stage, stream))
            return false;
        if (stage.stageSlot >= TextureStage::kSlotCount)
            return Fail("Texture stage slot out of range");
        state.stages[stage.stageSlot] = stage;
    }
    return true;
}

bool ReadTextureStageChunk(TextureStage& stage, IZelStream* stream) {
    Record<kStageRecord> record;
    if (!ReadChunk(stream, TAG_TEXTURE_STAGE, "Wrong TextureStage chunk Tag", record))
        return false;
    stage.addressU = U32(&record[0]);
    stage.addressV = U32(&record[4]);
    stage.addressW = U32(&record[8]);
    Floats(&record[12], stage.colourParam, 4);
    Floats(&record[28], stage.constantColour, 4);
    stage.filter = U32(&record[44]);
    stage.stageSlot = U32(&record[48]);
    stage.envMode = U32(&record[52]);
    stage.flags = U32(&record[56]);
    const std::uint32_t waves = U32(&record[60]);
    stage.colourGenChannel = U32(&record[64]);
    stage.colourGen.FromBytes(&record[68]);
    stage.alphaGenChannel = U32(&record[112]);
    stage.alphaGen.FromBytes(&record[116]);
    if (!CountFits(waves, WaveRecord::kBytes, stream))
        return false;
    for (std::uint32_t i = 0; i < waves; ++i) {
        Record<WaveRecord::kBytes> wave;
        if (!ReadRecord(wave, stream))
            return false;
        stage.texCoordMods.emplace_back().FromBytes(wave.data());
    }
    return ReadTextureChunk(stage, stream);
}

bool ReadTextureChunk(TextureStage& stage, IZelStream* stream) {
    stage.flags |= TSF_TEXTURE_PENDING;
    Record<kTextureRecord> record;
    if (!ReadChunk(stream, TAG_TEXTURE, "Wrong Texture chunk Tag", record))
        return false;
    switch (U32(&record[0])) {
        case 1:
        case 2:
        case 3:
            if (!ReadLibString(stage.textureName, stream))
                return false;
            ResolveStage(stage);
            break;
        case 4: {
            std::string cube;
            for (std::uint32_t face = 0; face < kFaceCount; ++face) {
                std::string faceName;
                if (!ReadLibString(faceName, stream))
                    return false;
                cube += faceName;
                cube += '*';
            }
            stage.textureName = cube;
            ResolveStage(stage);
            break;
        }
        case 5:
            if (!ReadAnimationFrames(stage, stream))
                return false;
            break;
        default:
            return Fail("Unknown texture type");
    }
    stage.flags &= ~std::uint32_t(TSF_TEXTURE_PENDING);
    return true;
}

}  // namespace IOMaterialBin
}  // namespace Zel
