// Reader of binary material libraries (".xm3"): a MaterialLib chunk, then per material its name
// and a Material chunk with its Pass, RenderState, TextureStage and Texture chunks, each a 12-byte
// chunk header and a fixed-size record, little-endian. Every record, string and count is checked
// against the bytes left in the stream: a short file, a count whose data cannot fit, a wrong tag,
// a bad string, an unknown texture type or a stage slot of 12 or more fails the read with a
// logged "BinaryIO Error" line (log type 13). Nothing is rolled back: the caller keeps what was
// read (a failed material is marked loaded with a failed result).
//
// The loading thread only; the stream is not shared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Zel {

class IZelStream;
class Material;
class MaterialManager;
class Pass;
class RenderState;
class TextureStage;

namespace IOMaterialBin {

// Chunk tags.
enum Tag : std::uint32_t {
    TAG_MATERIAL_LIB = 11,
    TAG_MATERIAL = 12,
    TAG_PASS = 13,
    TAG_RENDER_STATE = 19,
    TAG_TEXTURE_STAGE = 20,
    TAG_TEXTURE = 21,
    TAG_ANIMATION_FRAMES = 22,
};

struct ChunkHeader {
    std::uint32_t tag = 0;
    std::uint32_t count = 0;   // Material chunks: the number of passes
    std::uint32_t offset = 0;  // Material chunks: the file offset of the header
};

// Reads the whole library into manager. list is emptied and receives every new material.
// A material whose name the manager holds already is read into a temporary material and dropped
// (logged "%s 发现同名Material"); the existing one is made loaded. A new material enters the maps
// with path as its load path and the current texture load options; with hold it gains a
// reference in the manager's held list. Stops at the first failed material; answers whether all
// read.
bool ReadMaterialLib(MaterialManager& manager, std::vector<Material*>& list, IZelStream* stream,
                     const std::string& path, bool hold);
// One Material chunk with its passes into material, then UpdatePasses and the material's program
// (the default program when the generated one does not load).
bool ReadMaterialChunk(Material& material, IZelStream* stream);
bool ReadPassChunk(Pass& pass, IZelStream* stream);
bool ReadRenderStateChunk(RenderState& state, IZelStream* stream);
bool ReadTextureStageChunk(TextureStage& stage, IZelStream* stream);
bool ReadTextureChunk(TextureStage& stage, IZelStream* stream);
// The 12-byte chunk header; false when fewer bytes are left.
bool ReadLibChunkHeader(ChunkHeader& header, IZelStream* stream);
// A string record (null marker 0, length at most 256, unused word, the bytes); false, logging
// "BinaryIO Error : Zel::ZelString Error", otherwise.
bool ReadLibString(std::string& text, IZelStream* stream);

}  // namespace IOMaterialBin
}  // namespace Zel
