#include "Entity/Geometry/Geometry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Core/DebugHelperImpl.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IZelFileStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/StreamFactory.h"
#include "Entity/Geometry/AnimationManager.h"
#include "Core/ChunkStream.h"
#include "Entity/Geometry/GeometryDescription.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/IOGeometryBin.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Geometry/ModelDescriptionParser.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Geometry/StreamHolder.h"
#include "Math/MathUtil.h"

namespace Zel {

namespace {

// ".dm2" chunk bodies never exceed these; a larger one marks a file that is not ours.
constexpr std::uint32_t kDm2HeaderBytes = 2048;
constexpr std::uint32_t kDm2NameBytes = 256;
constexpr std::uint32_t kDm2GeometryBytes = 2048;
constexpr std::uint32_t kDm2MeshBytes = 512;
constexpr std::uint32_t kDm2MeshTag = 4;
// Offsets in the ".dm2" geometry record and mesh record.
constexpr std::size_t kDm2MeshCount = 44;
constexpr std::size_t kDm2Matrices = 52;
constexpr std::size_t kDm2MatrixCount = 1076;
constexpr std::size_t kDm2MeshMatrix = 84;
constexpr std::size_t kDm2MeshExtraWord = 148;

std::uint32_t WordAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

float FloatAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    const std::uint32_t word = WordAt(bytes, at);
    float value;
    std::memcpy(&value, &word, 4);
    return value;
}

// One ".dm2" chunk: tag, size and a body of at most `capacity` bytes, zero-filled to the capacity.
// False (logged with `what`) when the chunk runs past the end or its body is larger.
bool ReadDm2Chunk(IZelStream& file, std::uint32_t capacity, const char* what, std::uint32_t& tag,
                  std::vector<std::uint8_t>& body) {
    std::uint32_t size = 0;
    if (!ReadU32(&file, tag) || !ReadU32(&file, size)) {
        LogTyped(LOG_ENGINE_INIT, "Geometry::LoadBinaryV2: %s chunk past the end of %s", what,
                 file.GetName().c_str());
        return false;
    }
    if (size > capacity || !CountFits(&file, size, 1)) {
        LogTyped(LOG_ENGINE_INIT,
                 "Geometry::LoadBinaryV2: %s chunk of %u bytes in %s (at most %u, and within the "
                 "file)",
                 what, size, file.GetName().c_str(), capacity);
        return false;
    }
    body.assign(capacity, 0);
    return size == 0 || file.Read(body.data(), size) == size;
}

}  // namespace

Geometry::Geometry(CResourceManager* manager, std::string_view name, std::string_view group,
                   std::uint32_t handle)
    : CResource(manager, name, group, handle) {
    for (Matrix4& m : matrices_) std::memcpy(m.m, IdentityMatrix(), sizeof m.m);
}

Geometry::~Geometry() {
    Geometry::UnloadImpl();
}

CResource* Geometry::FindAnimationById(std::uint32_t id) const {
    for (const SharedPtr<CResource>& animation : animations_)
        if (animation && animation->GetHandle() == id)
            return animation.Get();
    return nullptr;
}

std::uint32_t Geometry::CalculateSize() {
    std::uint64_t size = kBaseSize;
    for (const auto& mesh : meshes_)
        if (mesh)
            size += mesh->GetMemorySize();
    if (sharedVertexData_)
        size += sharedVertexData_->GetMemorySize();
    if (sharedIndexData_)
        size += sharedIndexData_->GetMemorySize();
    for (const SharedPtr<CResource>& animation : animations_)
        if (animation)
            size += animation->GetSize();
    const auto stored = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
    SetSizeField(stored);
    return stored;
}

bool Geometry::LoadImpl() {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && config->GetValue(kSkipCreateSwitch) != 0)
        return true;
    const std::string saved = GetLoadPath();
    if (config && config->GetValue(kDefaultModelSwitch) != 0)
        SetLoadPath(kDefaultModelPath);
    const std::string path = GetLoadPath();
    const auto binary = [this] { return LoadBinary(); };
    const auto binaryV2 = [this] { return LoadBinaryV2(); };

    bool ok = false;
    const std::uint32_t kind = GetGeometryKindByName(path);
    if (kind == GEOMETRY_KIND_DM2) {
        ok = TryRoad(binaryV2);
    } else if (kind == GEOMETRY_KIND_DM3) {
        ok = TryRoad(binary);
    } else {
        if (config && config->PreferBinaryFiles()) {
            SetLoadPath(ReplaceExtension(path, ".dm3"));
            ok = TryRoad(binary);
            if (!ok) {
                SetLoadPath(ReplaceExtension(path, ".dm2"));
                ok = TryRoad(binaryV2);
            }
            SetLoadPath(path);
        }
        if (!ok) {
            GeometryDescription description;
            MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
            ok = ParseGeometryDescription(path, description) && serializer && TryRoad([&] {
                     return serializer->LoadGeometryFromAse(*this, description.meshFile);
                 });
            if (ok) {
                materialFiles_.insert(materialFiles_.end(), description.materialFiles.begin(),
                                      description.materialFiles.end());
            } else if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper)) {
                reporter->Error("dml格式错误，fn=%s", path.c_str());
            } else {
                LogError("dml格式错误，fn=%s", path.c_str());
            }
        }
    }
    SetLoadPath(saved);
    return ok;
}

void Geometry::UnloadImpl() {
    meshes_.clear();
    sharedVertexData_.reset();
    sharedIndexData_.reset();
    for (Matrix4& m : matrices_) std::memcpy(m.m, IdentityMatrix(), sizeof m.m);
    matrixCount_ = 0;
    AnimationManager* animations = Globals::Find(&Globals::GetAnimationManager);
    for (SharedPtr<CResource>& animation : animations_) {
        CResource* held = animation.Get();
        animation.Reset();
        // The manager's own reference is the last: nobody else plays this animation.
        if (held && animations && held->GetRefCount() == 1)
            animations->Remove(held);
    }
    animations_.clear();
    materialFiles_.clear();
    extraWords_.clear();
    scales_.clear();
    translations_.clear();
    rotations_.clear();
    parentIndices_.clear();
}

void Geometry::LogLoadResult(bool ok) {
    if (!ok)
        LogTyped(LOG_ENGINE_INIT, "读取Geometry失败,%s", GetLoadPath().c_str());
    else
        LogTyped(LOG_ENGINE_INIT, "读取Geometry %s，占用内存 %d KB", GetLoadPath().c_str(),
                 static_cast<int>(GetSizeField() / 1024));
}

std::unique_ptr<Mesh> Geometry::CreateMesh(const std::string& name) {
    return std::make_unique<Mesh>(this, name, true, true);
}

bool Geometry::LoadBinary() {
    const std::string& path = GetLoadPath();
    // Read from the file as the chunks go: the large arrays land straight in the buffers the mesh
    // keeps, without a whole-file copy in between. A file that ends early (or is cut while it is
    // read) marks the stream as overrun, and FinishChunkRead refuses it.
    StreamHolder stream(OpenFileStream(path));
    if (!stream)
        return false;
    const bool ok = IOGeometryBin::Read(*this, stream.get(), GetDirectory(path));
    return FinishChunkRead(stream.get(), ok);
}

bool Geometry::LoadBinaryV2() {
    const std::string& path = GetLoadPath();
    StreamHolder file(OpenMemoryStream(path));
    if (!file) {
        LogTyped(LOG_ENGINE_INIT, "Geometry::LoadBinaryV2: cannot open %s", path.c_str());
        return false;
    }
    std::uint32_t tag = 0;
    std::vector<std::uint8_t> body;
    if (!ReadDm2Chunk(*file, kDm2HeaderBytes, "header", tag, body))
        return false;
    Dm2Header header;
    header.geometryOffset = static_cast<std::int32_t>(WordAt(body, 4));
    header.extraChunk = static_cast<std::int32_t>(WordAt(body, 8));
    header.libraryCount = static_cast<std::int32_t>(WordAt(body, 20));

    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    for (std::int32_t i = 0; i < header.libraryCount; ++i) {
        if (!ReadDm2Chunk(*file, kDm2NameBytes, "material library", tag, body))
            return false;
        // The name need not end inside the body: the copy stops at its end.
        const char* text = reinterpret_cast<const char*>(body.data());
        const std::string library(text, strnlen(text, kDm2NameBytes));
        if (materials) {
            bool success = false;
            materials->LoadMaterialLibXml(library, success, false, nullptr);
        }
        materialFiles_.push_back(library);
    }
    if (header.extraChunk > 0 && !ReadDm2Chunk(*file, kDm2NameBytes, "extra", tag, body))
        return false;
    if (header.geometryOffset <= 0 || !file->Seek(header.geometryOffset, STREAM_SEEK_SET)) {
        LogTyped(LOG_ENGINE_INIT, "Geometry::LoadBinaryV2: geometry offset %d outside %s",
                 header.geometryOffset, path.c_str());
        return false;
    }
    std::vector<std::uint8_t> record;
    if (!ReadDm2Chunk(*file, kDm2GeometryBytes, "geometry", tag, record))
        return false;
    if (tag != 3 && tag != 5 && tag != 7 && tag != 16) {
        LogTyped(LOG_ENGINE_INIT, "Geometry::LoadBinaryV2: geometry chunk tag %u in %s", tag,
                 path.c_str());
        return false;
    }
    return ReadBinaryV2Meshes(record, *file, header);
}

bool Geometry::ReadBinaryV2Meshes(const std::vector<std::uint8_t>& record, IZelStream& file,
                                  const Dm2Header&) {
    SetSizeField(0);
    const std::uint32_t meshCount = WordAt(record, kDm2MeshCount);
    // Every mesh chunk has at least its 8-byte head.
    if (!CountFits(&file, meshCount, 8)) {
        LogTyped(LOG_ENGINE_INIT, "Geometry::LoadBinaryV2: %u meshes run past the end of %s",
                 meshCount, file.GetName().c_str());
        return false;
    }
    std::vector<std::uint8_t> meshRecord;
    for (std::uint32_t i = 0; i < meshCount; ++i) {
        std::uint32_t tag = 0;
        if (!ReadDm2Chunk(file, kDm2MeshBytes, "mesh", tag, meshRecord))
            return false;
        if (tag != kDm2MeshTag) {
            LogTyped(LOG_ENGINE_INIT, "Mesh");
            return false;
        }
        Matrix4 transform;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                transform.m[4 * r + c] = FloatAt(meshRecord, kDm2MeshMatrix + 4 * (4 * c + r));
        std::array<float, 3> scale, translation;
        std::array<float, 4> rotation;
        Matrix4::Decompose(transform.m, scale.data(), rotation.data(), translation.data());
        scales_.push_back(scale);
        translations_.push_back(translation);
        rotations_.push_back(rotation);
        extraWords_.push_back(WordAt(meshRecord, kDm2MeshExtraWord));
        Mesh* mesh = AddMesh();
        if (!mesh->ReadBinaryV2(meshRecord.data(), kDm2MeshBytes, file))
            return false;
        bounds_.Merge(mesh->GetBounds());
    }
    for (std::uint32_t w = 0; w < 5; ++w) headerWords_[w] = WordAt(record, 4 * w);
    std::array<Matrix4, kMatrixSlots> matrices;
    for (std::uint32_t s = 0; s < kMatrixSlots; ++s)
        for (std::uint32_t f = 0; f < 16; ++f)
            matrices[s].m[f] = FloatAt(record, kDm2Matrices + 64 * s + 4 * f);
    SetMatrixTable(matrices, WordAt(record, kDm2MatrixCount));
    return true;
}

Mesh* Geometry::AddMesh() {
    return AddMeshAt(GetMeshCount());
}

Mesh* Geometry::AddMeshAt(std::uint32_t i) {
    char name[32];
    std::snprintf(name, sizeof name, "Mesh%u", i);
    return AddNamedMesh(name);
}

Mesh* Geometry::AddNamedMesh(const std::string& name) {
    meshes_.push_back(CreateMesh(name));
    return meshes_.back().get();
}

Mesh* Geometry::GetMesh(std::uint32_t i) const {
    return i < meshes_.size() ? meshes_[i].get() : nullptr;
}

void Geometry::RemoveMesh(Mesh* mesh) {
    if (!mesh)
        return;
    for (auto& entry : meshes_)
        if (entry.get() == mesh) {
            entry.reset();
            return;
        }
}

void Geometry::RenameMeshes(const std::string& name) {
    for (std::size_t i = 0; i < meshes_.size(); ++i)
        if (meshes_[i])
            meshes_[i]->SetName(name + "_" + std::to_string(i));
}

void Geometry::UpdateBounds() {
    bounds_.SetEmpty();
    for (const auto& mesh : meshes_)
        if (mesh)
            bounds_.Merge(mesh->GetBounds());
}

void Geometry::CollectMeshesByGroup(std::vector<Mesh*>& out, std::uint32_t group) const {
    for (const auto& mesh : meshes_)
        if (mesh && mesh->GetGroupWord() == group)
            out.push_back(mesh.get());
}

void Geometry::SortMeshes() {
    // A removed mesh's null entry sorts last.
    std::sort(meshes_.begin(), meshes_.end(), [](const auto& a, const auto& b) {
        if (!a || !b)
            return a && !b;
        return a->GetSortKey() < b->GetSortKey();
    });
}

const Matrix4& Geometry::GetMatrixSlot(std::uint32_t i) const {
    static const Matrix4 identity = [] {
        Matrix4 m;
        std::memcpy(m.m, IdentityMatrix(), sizeof m.m);
        return m;
    }();
    return i < kMatrixSlots && i < matrixCount_ ? matrices_[i] : identity;
}

bool Geometry::SetMatrixSlot(std::uint32_t i, const Matrix4& matrix) {
    if (i >= kMatrixSlots || i >= matrixCount_)
        return false;
    matrices_[i] = matrix;
    return true;
}

void Geometry::SetMatrixTable(const std::array<Matrix4, kMatrixSlots>& matrices,
                              std::uint32_t count) {
    matrices_ = matrices;
    matrixCount_ = count;
}

}  // namespace Zel

namespace Zel {

void Geometry::SetMeshDrawCount(std::uint32_t i, std::uint32_t n) {
    Mesh* mesh = GetMesh(i);
    LodStripArray* group = mesh ? mesh->GetCurrentGroup() : nullptr;
    if (group && !group->entries.empty())
        group->entries[0].drawCount = n;
}

std::uint32_t Geometry::GetMeshDrawCount(std::uint32_t i) const {
    Mesh* mesh = GetMesh(i);
    LodStripArray* group = mesh ? mesh->GetCurrentGroup() : nullptr;
    return group && !group->entries.empty() ? group->entries[0].drawCount : 0;
}

}  // namespace Zel
