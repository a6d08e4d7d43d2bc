// The root interface's client textures and render targets, and the view operations: moving the
// view matrix, projecting world points to the screen and screen points back into world rays.
#include "Render/RenderCore/IRenderImpl.h"

#include <cmath>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/ScopedLock.h"
#include "Core/threadmng.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureManager.h"
#include "Math/Matrix4.h"
#include "Math/Quaternion.h"
#include "Math/RSqrtTable.h"
#include "Render/RenderCore/TextureWrappers.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"

namespace Zel {
namespace {

// Texture flag of everything made for the host.
constexpr std::uint32_t kClientOwnedFlag = TextureBase::FLAG_CLIENT_OWNED;
// With this global switch on, the host gets no textures of its own.
constexpr std::uint32_t kNoClientTexturesSwitch = 45;

// Tries make(width, height) and, while it fails and both sides exceed 2, halves both (the
// caller sees the sizes last tried) and tries again.
template <class Make>
auto MakeHalving(int* width, int* height, Make make) -> decltype(make(0, 0)) {
    while (true) {
        if (auto made = make(*width, *height))
            return made;
        if (*width <= 2 || *height <= 2)
            return nullptr;
        *width /= 2;
        *height /= 2;
    }
}

// A host target of the size, named, flagged as the host's and in use; null when the device
// refuses it.
RenderTarget* MakeClientTarget(TextureManager* textures, bool depth, int width, int height,
                               int format, const char* name) {
    RenderTarget* target = textures->CreateRenderTarget(depth);
    if (!target)
        return nullptr;
    if (!target->Create(width, height, 1, 0, format, 1, false)) {
        target->ReleaseIfUnused();
        return nullptr;
    }
    target->SetName(name);
    // In use for as long as the host holds it: the pool's search for a free target of the same
    // size must never hand it to the engine's own passes.
    target->SetFlags(target->GetFlags() | kClientOwnedFlag | TextureBase::FLAG_IN_USE);
    return target;
}

void NormaliseRayVector(float* v) {
    const float scale = FastRSqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i) v[i] *= scale;
}

void CrossRayVectors(const float* a, const float* b, float* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// The world ray through the view-space point (vx, vy, -1) of a view whose inverse has the
// camera's right, up and backward axes in its columns 0-2 and the eye in column 3.
void RayFromInverseView(const float* inverse, float vx, float vy, float* origin, float* direction) {
    float d[3];
    for (int j = 0; j < 3; ++j)
        d[j] = vx * inverse[4 * j] + vy * inverse[4 * j + 1] - inverse[4 * j + 2];
    NormaliseRayVector(d);
    for (int j = 0; j < 3; ++j) {
        direction[j] = d[j];
        origin[j] = inverse[4 * j + 3];
    }
}

}  // namespace

ZelI::ITexture* IRenderImpl::CreateClientTexture(int* width, int* height, int kind, int flag) {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (IsGlobalSwitchOn(kNoClientTexturesSwitch) || !frameBegan_ || !textures || !width || !height)
        return nullptr;
    // Kind 0 keeps an alpha channel; a non-zero flag asks for a texture the host rewrites often.
    const int format = kind == 0 ? PF_A8R8G8B8 : PF_X8R8G8B8;
    const bool dynamic = flag != 0;
    ScopedLock lock(threadmng::kMainLock);
    TextureBase* texture = MakeHalving(width, height, [&](int w, int h) -> TextureBase* {
        TextureBase* made =
            textures->CreateTexture(dynamic ? MP_DEFAULT : MP_MANAGED, TextureBase::KIND_2D);
        if (!made)
            return nullptr;
        if (!made->Create(w, h, 1, TextureBase::KIND_2D, format, 1, dynamic)) {
            made->ReleaseIfUnused();
            return nullptr;
        }
        made->SetName("Client Created");
        made->SetFlags(made->GetFlags() | kClientOwnedFlag);
        return made;
    });
    if (!texture)
        return nullptr;
    ZelI::ITexture* wrapper = texture->GetInterface();
    if (!wrapper)
        texture->ReleaseIfUnused();
    return wrapper;
}

ZelI::IRenderTarget* IRenderImpl::CreateClientRenderTarget(int* width, int* height, int kind,
                                                           int depthFlag) {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (!frameBegan_ || !textures || !width || !height)
        return nullptr;
    const bool depth = depthFlag != 0;
    int format = kind == 0 ? PF_A8R8G8B8 : PF_X8R8G8B8;
    if (depth)
        format = kind == 2 ? PF_D24S8 : kind == 3 ? PF_D24X8 : PF_D16;
    RenderTarget* target = MakeHalving(width, height, [&](int w, int h) {
        return MakeClientTarget(textures, depth, w, h, format, "Client Created");
    });
    if (!target)
        return nullptr;
    auto* wrapper = static_cast<RenderTargetImplRC*>(target->GetInterface());
    if (!wrapper) {
        target->ReleaseIfUnused();
        return nullptr;
    }
    if (!depth) {
        const int depthFormat = clientTargetByte_ == 1 ? PF_D24S8 : PF_D16;
        wrapper->SetDepthTarget(
            MakeClientTarget(textures, true, *width, *height, depthFormat, "Client RT Z"));
    }
    return wrapper;
}

void IRenderImpl::SetViewIdentityAt(float x, float y, float z) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene)
        return;
    const float translation[16] = {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z, 0, 0, 0, 1};
    float product[16];
    MultiplyMatrices4(scene->GetViewMatrix(), translation, product);
    scene->SetViewMatrix(product);
}

void IRenderImpl::SetViewTransform(float angle, const float* axis) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene || !axis)
        return;
    float rotation[4];
    Quaternion::FromAngleAxis(rotation, angle, axis);
    static constexpr float kUnit[3] = {1.0f, 1.0f, 1.0f};
    static constexpr float kOrigin[3] = {};
    float transform[16];
    Matrix4::MakeTransform(transform, kUnit, rotation, kOrigin);
    float product[16];
    MultiplyMatrices4(scene->GetViewMatrix(), transform, product);
    scene->SetViewMatrix(product);
}

float* IRenderImpl::WorldToScreen(const float* point, const float* projection, const float* view,
                                  int x, int y, int width, int height, float minZ, float maxZ,
                                  float* out) {
    RenderDevice* device = renderSystem_ ? renderSystem_->GetRenderDevice() : nullptr;
    if (!device || !point || !projection || !view || !out)
        return out;
    device->ProjectPoint(point, view, projection, static_cast<std::uint32_t>(x),
                         static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(width),
                         static_cast<std::uint32_t>(height), minZ, maxZ, out);
    return out;
}

int IRenderImpl::ScreenToWorldRay(float x, float y, float* origin, float* direction) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!renderSystem_ || !scene || !origin || !direction)
        return 0;
    std::uint32_t w = 0, h = 0;
    renderSystem_->GetBackBufferSize(&w, &h);
    const float* projection = scene->GetProjectionMatrix();
    if (w == 0 || h == 0 || projection[0] == 0.0f || projection[5] == 0.0f)
        return 0;
    const float vx = (2.0f * x / static_cast<float>(w) - 1.0f) / projection[0];
    const float vy = -(2.0f * y / static_cast<float>(h) - 1.0f) / projection[5];
    float inverse[16];
    std::copy_n(scene->GetViewMatrix(), 16, inverse);
    if (!Matrix4::Inverse(inverse))
        return 0;
    RayFromInverseView(inverse, vx, vy, origin, direction);
    return 1;
}

// The vertical term keeps the sign the hosts were written against: the ray for (x, y) here is
// ScreenToWorldRay's ray for (x, height - y) through the same camera.
int IRenderImpl::ScreenToWorldRayFromCamera(const float* eye, const float* direction,
                                            const float* up, float, float, float width,
                                            float height, float fov, float x, float y,
                                            float* originOut, float* directionOut) {
    if (!eye || !direction || !up || !originOut || !directionOut || height == 0.0f || width == 0.0f)
        return 0;
    const float t = std::tan(fov * 0.5f);
    if (t == 0.0f || !std::isfinite(t))
        return 0;
    const float m00 = 1.0f / t;
    const float m11 = (width / height) / t;
    // The look-at view's inverse: the camera's axes and the eye.
    float zAxis[3] = {-direction[0], -direction[1], -direction[2]};
    NormaliseRayVector(zAxis);
    float xAxis[3];
    CrossRayVectors(up, zAxis, xAxis);
    NormaliseRayVector(xAxis);
    float yAxis[3];
    CrossRayVectors(zAxis, xAxis, yAxis);
    const float inverse[16] = {xAxis[0], yAxis[0], zAxis[0], eye[0],   xAxis[1], yAxis[1],
                               zAxis[1], eye[1],   xAxis[2], yAxis[2], zAxis[2], eye[2],
                               0.0f,     0.0f,     0.0f,     1.0f};
    const float vx = (2.0f * x / width - 1.0f) / m00;
    const float vy = (2.0f * y / height - 1.0f) / m11;
    RayFromInverseView(inverse, vx, vy, originOut, directionOut);
    return 1;
}

}  // namespace Zel
