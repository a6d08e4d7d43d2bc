// The device's debug draws: a screen quad, box edges, a line and a triangle, each filled into a
// shared vertex array in the layout of the current drawing mode and drawn with a built-in
// material through the render system's draw path.
#include "Render/RenderDevice.h"

#include <cstring>

#include "Core/Globals.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/MathUtil.h"
#include "Render/HardwareBufferManager.h"
#include "Render/RenderOperation.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

// Six closed loops, one per face, as line strips of four segments: every edge is drawn twice.
constexpr std::uint16_t kBoxLoops[30] = {0, 1, 3, 2, 0, 4, 5, 7, 6, 4, 2, 3, 7, 6, 2,
                                         0, 1, 5, 4, 0, 0, 2, 6, 4, 0, 1, 3, 7, 5, 1};
constexpr std::uint16_t kQuadIndices[6] = {0, 2, 1, 0, 3, 2};
constexpr std::uint16_t kLineIndices[2] = {0, 1};
constexpr std::uint16_t kTriangleIndices[3] = {0, 1, 2};

// The largest debug vertex: position, four colour floats, one texture coordinate.
constexpr std::size_t kMaxDebugFloats = 9;

// Writes vertices of position (+ colour) (+ uv) in the layout of the mode: a packed A8R8G8B8
// colour in fixed-function mode, four floats in shader mode.
class DebugVertexWriter {
public:
    DebugVertexWriter(float* out, bool fixedFunction, const float* colour)
        : out_(out), fixedFunction_(fixedFunction), colour_(colour) {}
    void Add(const float* position, const float* uv = nullptr) {
        Put(position, 3);
        if (colour_) {
            if (fixedFunction_) {
                const std::uint32_t packed = PackColorARGB(colour_);
                std::memcpy(out_++, &packed, 4);
            } else {
                Put(colour_, 4);
            }
        }
        if (uv)
            Put(uv, 2);
    }

private:
    void Put(const float* values, int count) {
        std::memcpy(out_, values, sizeof(float) * count);
        out_ += count;
    }
    float* out_;
    bool fixedFunction_;
    const float* colour_;
};

// A line-strip draw of coloured vertices in the layout of the mode, with 16-bit indices.
RenderSystem::MemoryDraw ColouredLines(const float* vertices, std::uint32_t vertexCount,
                                       const std::uint16_t* indices, std::uint32_t indexCount,
                                       bool fixedFunction) {
    RenderSystem::MemoryDraw draw;
    draw.primitiveType = PT_LINE_STRIP;
    draw.vertices = vertices;
    draw.vertexFlags = fixedFunction ? (VF_POSITION | VF_DIFFUSE) : (VF_POSITION | VF_COLOUR);
    draw.stride = fixedFunction ? 16 : 28;
    draw.vertexCount = vertexCount;
    draw.indices = indices;
    draw.indexCount = indexCount;
    return draw;
}

// The built-in material ready to draw, or null.
Material* ReadyBuiltin(const char* name) {
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    Material* material = materials ? materials->FindMaterial(name, false) : nullptr;
    return material && material->IsProgramReady() ? material : nullptr;
}

RenderSystem* CurrentRenderSystem() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetRenderSystem() : nullptr;
}

// Draws the memory geometry with pass 0 of the material, its diffuse colour set to `colour`
// (when given), world identity and the scene's view.
std::uint32_t DrawDebug(Material& material, const float* colour, RenderSystem::MemoryDraw& draw) {
    RenderSystem* system = CurrentRenderSystem();
    Pass* pass = material.GetPass(0);
    if (!system || !pass)
        return 0;
    if (colour)
        std::memcpy(pass->diffuse, colour, sizeof pass->diffuse);
    RenderOperation operation;
    operation.renderState = &pass->renderState;
    operation.pass = pass;
    if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager)) {
        std::memcpy(operation.viewMatrix, scene->GetViewMatrix(), sizeof operation.viewMatrix);
        draw.view = scene->GetViewMatrix();
        draw.projection = scene->GetProjectionMatrix();
    }
    // Without vertex colours the effect colours the geometry by the modulate colour.
    if (colour && !(draw.vertexFlags & (VF_COLOUR | VF_DIFFUSE))) {
        std::memcpy(operation.vertexColourModulate, colour, sizeof operation.vertexColourModulate);
        draw.modulateByColour = true;
    }
    // Debug colours show whatever lights the scene has.
    system->GetRenderDevice()->SetLight(nullptr);
    return system->ProcessRenderOperation(operation, material.GetProgram(), draw);
}

}  // namespace

VertexBufferDeclaration* RenderDevice::GetDebugVertexFormat(std::uint32_t flags) {
    const auto found = debugFormats_.find(flags);
    if (found != debugFormats_.end())
        return found->second;
    HardwareBufferManager* buffers = Globals::Find(&Globals::GetHardwareBufferManager);
    VertexBufferDeclaration* declaration = buffers ? buffers->GetVertexDeclaration(flags) : nullptr;
    if (declaration)
        debugFormats_.emplace(flags, declaration);
    return declaration;
}

std::uint32_t RenderDevice::DrawQuad(const float* rect, const float* uvRect, Material* material,
                                     const float* colour, const ShaderParamTable* parameters) {
    static float vertices[4 * kMaxDebugFloats];
    Material* quadMaterial = material ? material : ReadyBuiltin("DrawQuad");
    if (!quadMaterial || !quadMaterial->IsProgramReady())
        return 0;
    const bool fixedFunction = GetFixedFunctionMode() != MODE_SHADER;
    const float x = rect[0], y = rect[1], w = rect[2], h = rect[3];
    const float u = uvRect[0], v = 1.0f - uvRect[1], tw = uvRect[2], th = uvRect[3];
    const float corners[4][3] = {
        {x, y, 1.0f}, {x + w, y, 1.0f}, {x + w, y + h, 1.0f}, {x, y + h, 1.0f}};
    const float uvs[4][2] = {{u, v}, {u + tw, v}, {u + tw, v - th}, {u, v - th}};
    DebugVertexWriter writer(vertices, fixedFunction, colour);
    for (int i = 0; i < 4; ++i) writer.Add(corners[i], uvs[i]);

    RenderSystem::MemoryDraw draw;
    draw.primitiveType = PT_TRIANGLE_LIST;
    draw.vertices = vertices;
    draw.vertexFlags = fixedFunction ? (VF_POSITION | VF_TEXCOORD0 | VF_DIFFUSE)
                                     : (VF_POSITION | VF_COLOUR | VF_TEXCOORD0);
    draw.stride = fixedFunction ? 24 : 36;
    draw.vertexCount = 4;
    draw.indices = kQuadIndices;
    draw.indexCount = 6;
    GetDebugVertexFormat(draw.vertexFlags);
    SetLight(nullptr);

    // World, view and projection are all identity: the quad is given in clip space.
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    float view[16], viewProjection[16], camera[3] = {0, 0, 0};
    if (scene) {
        std::memcpy(view, scene->GetViewMatrix(), sizeof view);
        std::memcpy(viewProjection, scene->GetViewProjectionMatrix(), sizeof viewProjection);
        std::memcpy(camera, scene->GetCameraPosition(), sizeof camera);
        scene->SetCurrentView(kIdentityMatrix, kIdentityMatrix, camera);
    }
    RenderSystem* system = CurrentRenderSystem();
    Pass* pass = quadMaterial->GetPass(0);
    std::uint32_t drawn = 0;
    if (system && pass) {
        RenderOperation operation;
        operation.renderState = &pass->renderState;
        operation.pass = pass;
        operation.parameters = parameters;
        drawn = system->ProcessRenderOperation(operation, quadMaterial->GetProgram(), draw);
    }
    if (scene)
        scene->SetCurrentView(view, viewProjection, camera);
    return drawn;
}

void RenderDevice::DrawAABB(const float* minimum, const float* maximum, const float* colour) {
    float corners[24];
    for (int i = 0; i < 8; ++i) {
        corners[i * 3 + 0] = (i & 1) ? maximum[0] : minimum[0];
        corners[i * 3 + 1] = (i & 2) ? maximum[1] : minimum[1];
        corners[i * 3 + 2] = (i & 4) ? maximum[2] : minimum[2];
    }
    DrawAABBCorners(corners, colour);
}

void RenderDevice::DrawAABBCorners(const float* corners, const float* colour) {
    static float vertices[8 * kMaxDebugFloats];
    Material* material = ReadyBuiltin("WireFrame");
    if (!material)
        return;
    const bool fixedFunction = GetFixedFunctionMode() != MODE_SHADER;
    DebugVertexWriter writer(vertices, fixedFunction, colour);
    for (int i = 0; i < 8; ++i) writer.Add(corners + i * 3);
    RenderSystem::MemoryDraw draw = ColouredLines(vertices, 8, kBoxLoops, 5, fixedFunction);
    GetDebugVertexFormat(draw.vertexFlags);
    for (int loop = 0; loop < 6; ++loop) {
        draw.indices = kBoxLoops + loop * 5;
        DrawDebug(*material, colour, draw);
    }
}

void RenderDevice::DrawWireFrame(const float* from, const float* to, const float* colour) {
    static float vertices[2 * kMaxDebugFloats];
    Material* material = ReadyBuiltin("WireFrame");
    if (!material)
        return;
    const bool fixedFunction = GetFixedFunctionMode() != MODE_SHADER;
    DebugVertexWriter writer(vertices, fixedFunction, colour);
    writer.Add(from);
    writer.Add(to);
    RenderSystem::MemoryDraw draw = ColouredLines(vertices, 2, kLineIndices, 2, fixedFunction);
    GetDebugVertexFormat(draw.vertexFlags);
    SetLight(nullptr);
    DrawDebug(*material, colour, draw);
}

void RenderDevice::DrawSimple(const float* points, const float* colour) {
    static float vertices[9];
    Material* material = ReadyBuiltin("Simple");
    if (!material)
        return;
    std::memcpy(vertices, points, sizeof vertices);
    RenderSystem::MemoryDraw draw;
    draw.primitiveType = PT_TRIANGLE_LIST;
    draw.vertices = vertices;
    draw.vertexFlags = VF_POSITION;
    draw.stride = 12;
    draw.vertexCount = 3;
    draw.indices = kTriangleIndices;
    draw.indexCount = 3;
    GetDebugVertexFormat(draw.vertexFlags);
    DrawDebug(*material, colour, draw);
}

}  // namespace Zel
