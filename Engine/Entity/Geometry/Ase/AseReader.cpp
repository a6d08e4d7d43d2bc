#include "Entity/Geometry/Ase/AseReader.h"

#include "Core/ErrorReport.h"
#include "Core/IZelStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Geometry/Ase/AseParser.h"

namespace Zel {

namespace {

std::unique_ptr<AseScene> ReadAse(const std::string& path, float scale, bool keepWorldSpace) {
    IZelStream* stream = OpenFileStream(path);
    if (!stream) {
        ReportError("Error fopen失败: %s", path.c_str());
        return nullptr;
    }
    std::string text(stream->GetSize(), '\0');
    const std::uint32_t read =
        text.empty() ? 0 : stream->Read(text.data(), std::uint32_t(text.size()));
    stream->Release();
    if (read != text.size()) {
        ReportError("获取文件大小失败: %s  Error: %d", path.c_str(), 0);
        return nullptr;
    }
    return ParseAseScene(text, scale, keepWorldSpace, path);
}

}  // namespace

std::unique_ptr<AseScene> LoadAseScene(const std::string& path, float scale, bool keepWorldSpace) {
    return ReadAse(path, scale, keepWorldSpace);
}

std::unique_ptr<AseScene> ReadAseFile(const std::string& path, float scale) {
    return ReadAse(path, scale, false);
}

std::unique_ptr<AseScene> ParseAseScene(std::string_view text, float scale, bool keepWorldSpace,
                                        const std::string& fileName) {
    return AseParser(text, scale, fileName).Parse(keepWorldSpace);
}

void FreeAseScene(std::unique_ptr<AseScene> scene) {
    scene.reset();
}

AseObject* FindAseObject(const AseScene& scene, std::string_view name) {
    for (const std::unique_ptr<AseObject>& object : scene.objects)
        if (object->name && *object->name == name)
            return object.get();
    return nullptr;
}

const AseMaterial* FindSubMaterial(const AseMaterial* material, std::int32_t id) {
    while (material && id >= 0 && std::size_t(id) < material->subMaterials.size())
        material = material->subMaterials[std::size_t(id)].get();
    return material;
}

}  // namespace Zel
