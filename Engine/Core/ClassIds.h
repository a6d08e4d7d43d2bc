// The library's run-time type test: every registered class has a fixed class id and a class-name
// string. Ids are compared only inside the library and never stored in files, so they are fixed
// constants rather than numbers handed out while static objects are built.
#pragma once

#include <cstdint>

namespace Zel {

namespace ClassId {
// Classes that register nothing of their own answer the pair of the class they derive from
// (DeformedSkeletonModel answers SkeletonModel, SkinMerge answers Skin, and so on).
enum : std::uint32_t {
    XMLResource = 0,
    HardwareIndexBufferD3D9 = 1,
    HardwareVertexBufferD3D9 = 2,
    RenderDeviceD3D9 = 3,
    RenderEffectD3D = 4,
    RenderTargetD3D9 = 5,
    RenderWindowD3D9 = 6,
    TextureCubeMapD3D9 = 7,
    TextureD3D9 = 8,
    VertexBufferDeclarationD3D9 = 9,
    ActionManager = 10,
    ActionResource = 11,
    Actor = 12,
    AnimationManager = 13,
    AnimationTrack = 14,
    BillBoard = 15,
    Camera = 16,
    Cloth = 17,
    Decal = 18,
    DeformedMesh = 19,
    DeformedModel = 20,
    Entity = 21,
    FakeHardwareVertexBuffer = 22,
    FakeHardwareIndexBuffer = 23,
    FakeHardwareBufferManager = 24,
    Geometry = 25,
    GeometryActor = 26,
    GeometryBodyPart = 27,
    GeometryCloth = 28,
    ClothMeshData = 29,
    GeometryDeformed = 30,
    GeometryManager = 31,
    GeometrySkin = 32,
    StaticGeometry = 33,
    SimpStaticGeometry = 34,
    GpuProgram = 35,
    GpuProgramManager = 36,
    HardwareBuffer = 37,
    HardwareBufferManager = 38,
    HardwareIndexBuffer = 39,
    HardwareVertexBuffer = 40,
    VertexComponent = 41,
    VertexComponentDataPool = 42,
    VertexBufferStream = 43,
    VertexBufferDeclaration = 44,
    VertexBufferBinding = 45,
    Image = 46,
    ImageManager = 47,
    Animation = 48,
    Level = 49,
    SimpLevel = 50,
    Light = 51,
    Material = 52,
    MaterialManager = 53,
    Mesh = 54,
    NewActor = 55,
    Object = 56,
    Pass = 57,
    SceneManager = 58,
    SceneNode = 59,
    SkeletonModel = 60,
    Skin = 61,
    TextureBase = 62,
    TextureCubeMap = 63,
    TextureManager = 64,
    RenderDevice = 65,
    RenderResource = 66,
    RenderSystem = 67,
    RenderTarget = 68,
    RenderWindow = 69,
    CResource = 70,
    CResourceGroup = 71,
    CResourceGroupManager = 72,
    CResourceManager = 73,
    IGlobalConfigImpl = 74,
    // The same class registered a second time under its qualified name; no getter answers it.
    IGlobalConfigImplQualified = 75,
    PhxEntity = 76,
    PhxScene = 77,
    EntityNx = 78,
    SceneNx = 79,
    Count = 80,
};
}  // namespace ClassId

// The registered class-name string of an id ("ZelXMLResource" for 0); null for an id of Count
// or above. Any thread.
const char* GetRegisteredClassName(std::uint32_t classId);

}  // namespace Zel
