#include "Entity/Geometry/GeometryCloth.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "Core/ChunkStream.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IZelFileStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/StreamFactory.h"
#include "Core/XmlElements.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/Ase/AseObject.h"
#include "Entity/Geometry/Ase/AseReader.h"
#include "Entity/Geometry/Ase/AseScene.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/IOClothBin.h"
#include "Entity/Geometry/ModelDescriptionParser.h"
#include "Entity/Geometry/StreamHolder.h"
#include "Entity/Geometry/TransformMath.h"
#include "Math/BoundSphere.h"

namespace Zel {

namespace {

// The parameters' attribute names, in the order of ClothMeshData::Param.
constexpr const char* kParamNames[ClothMeshData::PARAM_COUNT] = {
    "BENDING", "DAMPING", "DENSITY", "FRICTION", "STRETCH", "THICKNESS", "WEIGHTSCALE"};

// The leading number of the text in the C locale, 0 when there is none (as atof answers).
float LeadingFloat(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '+')
        ++text;
    float value = 0.0f;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

bool NameHas(const AseObject& o, const char* part) {
    return o.name && o.name->find(part) != std::string::npos;
}

const float* Pivot(const AseObject& o) {
    return o.nodeMatrix + 12;
}

}  // namespace

GeometryCloth::GeometryCloth(CResourceManager* manager, std::string_view name,
                             std::string_view group, std::uint32_t handle)
    : Geometry(manager, name, group, handle) {}

GeometryCloth::~GeometryCloth() {
    GeometryCloth::UnloadImpl();
    SetSkeletonName("");
}

std::unique_ptr<Mesh> GeometryCloth::CreateMesh(const std::string& name) {
    return std::make_unique<ClothMeshData>(this, name);
}

void GeometryCloth::SetSkeletonName(const std::string& name) {
    skeletonName_ = name;
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    if (skeletons)
        skeletons->ReplaceShared(skeleton_, name);
    else
        skeleton_ = nullptr;
}

void GeometryCloth::UnloadImpl() {
    for (BoundBase* shape : bounds_)
        if (shape)
            shape->Recycle();
    bounds_.clear();
    points_.clear();
    flagWord_ = 0;
    Geometry::UnloadImpl();
}

bool GeometryCloth::LoadImpl() {
    std::string path = GetLoadPath();
    const std::uint32_t kind = GetGeometryKindByName(path);
    if (kind == GEOMETRY_KIND_CL3)
        return false;
    if (kind == GEOMETRY_KIND_BODY_PART) {
        const auto binary = [&] {
            return ReadChunkFile(path, [&](IZelStream* stream) {
                return IOGeometryClothBin::Read(*this, stream, path);
            });
        };
        return TryRoad(binary);
    }
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && config->PreferBinaryFiles())
        path = ReplaceExtension(path, ".cl3");
    std::string meshFile, shader;
    bool described = false;
    float params[ClothMeshData::PARAM_COUNT] = {1, 1, 1, 1, 1, 1, 1};
    const bool opened = WithXmlDocument(path, [&](const TiXmlDocument& document) {
        const XmlNode* cloth =
            XmlChildElementByName(XmlChildElementByName(&document, "Root"), "Cloth");
        const char* mesh = XmlAttributeValue(cloth, "MESH");
        const char* material = XmlAttributeValue(cloth, "SHADER");
        if (!mesh || !material)
            return true;
        described = true;
        meshFile = mesh;
        shader = material;
        if (const XmlNode* values = XmlChildElementByName(cloth, "Params"))
            for (int p = 0; p < ClothMeshData::PARAM_COUNT; ++p)
                if (const char* text = XmlAttributeValue(values, kParamNames[p]))
                    params[p] = LeadingFloat(text);
        return true;
    });
    if (!opened)
        return false;
    // A description without its cloth element or attributes is an empty cloth geometry.
    if (!described)
        return true;
    const std::string meshPath = GetDirectory(path) + "/" + meshFile;
    if (!TryRoad([&] { return LoadClothMesh(meshPath, params[ClothMeshData::WEIGHT_SCALE]); }))
        return false;
    for (std::uint32_t m = 0; m < GetMeshCount(); ++m) {
        auto* cloth = dynamic_cast<ClothMeshData*>(GetMesh(m));
        if (!cloth)
            continue;
        cloth->SetMaterialName(shader);
        for (int p = 0; p < ClothMeshData::PARAM_COUNT; ++p)
            cloth->SetParam(static_cast<ClothMeshData::Param>(p), params[p]);
    }
    return true;
}

bool GeometryCloth::LoadClothMesh(const std::string& meshPath, float weightScale) {
    std::unique_ptr<AseScene> scene = LoadAseScene(meshPath, 1.0f, true);
    if (!scene || scene->objects.empty())
        return false;
    const TextureRect rect = GetTextureRect(kNoPartIndex);
    std::vector<const AseObject*> boxes, bounds;
    std::uint32_t clothCount = 0;
    for (const auto& owned : scene->objects) {
        const AseObject& o = *owned;
        if (!o.vertices.empty() && !o.faces.empty() &&
            (NameHas(o, "ClothMesh_") || NameHas(o, "clothmesh_"))) {
            auto* cloth = static_cast<ClothMeshData*>(AddMeshAt(clothCount++));
            cloth->SetParam(ClothMeshData::WEIGHT_SCALE, weightScale);
            if (!cloth->Build(o, *scene, skeletonName_, kNoPartIndex, rect.atlas)) {
                RemoveMesh(cloth);
                continue;
            }
            // The stored name keeps its quotes: "ClothMesh_12" gives 12.
            const std::string& name = *o.name;
            cloth->SetSortKey(
                name.size() > 10 ? static_cast<std::uint32_t>(std::atoi(name.c_str() + 11)) : 0);
        } else if (NameHas(o, "BoxCloth_")) {
            boxes.push_back(&o);
        } else if (NameHas(o, "Bound_")) {
            bounds.push_back(&o);
        }
    }
    if (clothCount == 0) {
        LogTyped(LOG_ENGINE_INIT, "未发现任何ClothMesh, %s", meshPath.c_str());
        return false;
    }
    for (const AseObject* box : boxes) {
        float best = 9999999.0f;
        const AseObject::Float3* nearest = nullptr;
        for (const AseObject::Float3& v : box->vertices) {
            const float d = ClothDistance(v.data(), Pivot(*box));
            if (d < best) {
                best = d;
                nearest = &v;
            }
        }
        if (nearest)
            points_.push_back(*nearest);
    }
    const Skeleton* skeleton = static_cast<const Skeleton*>(skeleton_);
    for (const AseObject* bound : bounds) {
        if (!bound->parent || !bound->parentName || bound->parentName->size() < 2 ||
            !NameHas(*bound, "_Sphere") || bound->vertices.empty())
            continue;
        BoundSphere* sphere = AcquireBoundSphere();
        if (!sphere)
            continue;
        const std::string& quoted = *bound->parentName;
        sphere->SetParentBone(skeleton ? skeleton->FindBone(quoted.substr(1, quoted.size() - 2))
                                       : nullptr);
        sphere->SetIdentifier(static_cast<std::uint32_t>(kNoPartIndex));
        sphere->SetRadius(ClothDistance(Pivot(*bound), bound->vertices.front().data()));
        // Row vectors: the object's world matrix is its local one times the parent's.
        float local[16];
        MultiplyMatrices4(bound->nodeMatrix, bound->parent->inverseNodeMatrix, local);
        sphere->SetLocalTransform(local);
        bounds_.push_back(sphere);
    }
    for (std::uint32_t m = 0; m < GetMeshCount(); ++m)
        if (auto* cloth = dynamic_cast<ClothMeshData*>(GetMesh(m)))
            cloth->BuildAttachments(points_);
    return true;
}

}  // namespace Zel
