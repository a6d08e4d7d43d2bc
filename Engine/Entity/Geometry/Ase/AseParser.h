// The block parsers of the ASE reader (AseReader.h), over one text: a parser reads one file once.
// Each block parser reads lines until its "}" (or until the line reader reports no line) and
// knows a fixed list of keywords; other lines are passed over one by one, so an unknown nested
// block ends the block around it at its own "}".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Entity/Geometry/Ase/AseLineReader.h"
#include "Entity/Geometry/Ase/AseScene.h"

namespace Zel {

class AseParser {
public:
    // Materials and maps nested deeper than this are skipped whole.
    static constexpr int kMaxNesting = 32;

    AseParser(std::string_view text, float scale, std::string fileName);
    AseParser(const AseParser&) = delete;
    AseParser& operator=(const AseParser&) = delete;

    // Reads the whole text into a scene (see AseReader.h), logging what was refused.
    std::unique_ptr<AseScene> Parse(bool keepWorldSpace);

    // The records of the implementation's tables.
    struct NodeTransform;
    struct ControlBlock;

private:
    template <typename F>
    bool ReadBlock(F&& onLine);
    void SkipBlock();
    void SkipLines(int count);

    std::string Quoted() const;
    std::string Unquoted() const;
    bool IntValue(std::int32_t& out) const;
    bool FloatValue(float& out) const;
    // A count line's value: false when it does not parse; a negative count, or one that the
    // rest of the text or the allocation budget cannot hold, is refused and taken as 0.
    bool Count(std::int32_t& out, std::size_t bytesPerElement);
    // True when 0 <= index < size; otherwise the current line is dropped.
    bool InRange(std::int64_t index, std::int64_t size);
    void Drop();

    void ParseTopLevel();
    void ParseScene();
    void ParseObject();
    void AddObject(std::unique_ptr<AseObject> object, bool listed);
    NodeTransform ParseNodeTransform();
    void ParseMesh(AseObject& object);
    // A "KEYWORD index x y z" line into element index of out, component i times factor[i].
    void ReadTripleLine(std::vector<std::array<float, 3>>& out, const std::array<float, 3>& factor);
    // A block of such lines after a count line that sizes out.
    void ReadCountedTriples(std::string_view countKeyword, std::string_view lineKeyword,
                            std::vector<std::array<float, 3>>& out,
                            const std::array<float, 3>& factor);
    void ParseFaceLine(AseObject& object);
    void ParseNormals(AseObject& object);
    void ParseFaceMap(AseObject& object);
    void CheckMeshReferences(AseObject& object);
    void ParseMeshAnimation(AseObject& owner);
    void ParsePatchMesh(AseObject& object);
    void ParsePatchChannels(AseObject& object);
    std::unique_ptr<AseAnimation> ParseTmAnimation();
    void ParseControl(AseAnimation& animation, const ControlBlock& block);
    void ParseVertexWeights(AseObject& object);
    void ParseMaterialList();
    void ParseMaterial(AseMaterial& material, int depth);
    void ParseMap(AseMap& map, int depth);
    void ParseLight();
    void ParseCamera();
    void ParseCameraSettings(AseCameraSettings& settings);
    std::unique_ptr<AseStrips> ParseStrips();
    void ParseStripSets(AseStrips& strips);
    void ParseStripVertices(AseStripSet& set, const AseStrips& strips);
    void ParseVertexInfluences(AseStripSet& set, std::int32_t vertex);
    void ParseStripList(std::vector<AseStrip>& list, const AseStripSet& set);
    void ParseLevels(AseStripSet& set);
    void ParseLod(AseLod& lod, const AseStripSet& set);
    void MoveToObjectSpace();
    void LinkParents();
    void LogRefusals() const;

    AseLineReader lines_;
    float scale_;
    std::string fileName_;
    std::unique_ptr<AseScene> scene_;
    std::unordered_map<std::string, AseObject*> firstByName_;
    // Carried from line to line as the exporter's reader did.
    std::int32_t subMaterial_ = 0;
    std::int32_t smoothingGroup_ = 0;
    std::int32_t faceSmoothing_ = 0;
    std::int32_t faceMaterialId_ = 0;
    // Element bytes that count lines may still allocate.
    std::size_t budget_;
    std::size_t droppedLines_ = 0;
    std::string firstDropped_;
    std::size_t refusedCounts_ = 0;
    std::size_t deepBlocks_ = 0;
};

}  // namespace Zel
