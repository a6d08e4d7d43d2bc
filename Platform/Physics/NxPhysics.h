// The physics SDK as the engine's physics binding calls it: the SDK object, scenes, actors and
// their shapes, cloth meshes and cloth, the descriptors that create them, the streams that carry
// cooked meshes, the error sink and the entry points that a runtime module exports. Backed by
// Bullet: a soft-rigid dynamics world per scene, one rigid body per actor, one soft body per cloth.
// Particle i of a cloth is always vertex i of the mesh it was cooked from.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace Nx {

using NxU8 = std::uint8_t;
using NxU16 = std::uint16_t;
using NxU32 = std::uint32_t;
using NxReal = float;

constexpr NxU32 NX_PHYSICS_SDK_VERSION = 0x02060200;

struct NxVec3 {
    NxReal x = 0, y = 0, z = 0;
};

// Rotation rows and a translation.
struct NxMat34 {
    NxReal m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    NxVec3 t;
};

// ---- Errors ----------------------------------------------------------------------------------

enum NxErrorCode : int {
    NXE_NO_ERROR = 0,
    NXE_INVALID_PARAMETER = 1,
    NXE_INVALID_OPERATION = 2,
    NXE_OUT_OF_MEMORY = 3,
    NXE_INTERNAL_ERROR = 4,
    NXE_ASSERTION = 107,
    NXE_DB_INFO = 205,
    NXE_DB_WARNING = 206,
    NXE_DB_PRINT = 208,
};

enum NxSDKCreateError : int {
    NXCE_NO_ERROR = 0,
    NXCE_PHYSX_NOT_FOUND = 1,
    NXCE_WRONG_VERSION = 2,
    NXCE_DESCRIPTOR_INVALID = 3,
    NXCE_CONNECTION_ERROR = 4,
    NXCE_RESET_ERROR = 5,
    NXCE_IN_USE_ERROR = 6,
};

// What the SDK tells the program; the program implements it.
class NxUserOutputStream {
public:
    virtual void reportError(NxErrorCode code, const char* message, const char* file, int line) = 0;
    // 0: continue.
    virtual int reportAssertViolation(const char* message, const char* file, int line) = 0;
    virtual void print(const char* message) = 0;
    virtual ~NxUserOutputStream() = default;
};

class NxUserAllocator {
public:
    virtual void* malloc(std::size_t size) = 0;
    virtual void free(void* memory) = 0;
    virtual ~NxUserAllocator() = default;
};

// A byte stream for cooked data; writers implement the store operations, readers the reads.
class NxStream {
public:
    virtual ~NxStream() = default;
    virtual NxU8 readByte() const = 0;
    virtual NxU16 readWord() const = 0;
    virtual NxU32 readDword() const = 0;
    virtual float readFloat() const = 0;
    virtual double readDouble() const = 0;
    virtual void readBuffer(void* buffer, NxU32 size) const = 0;
    virtual NxStream& storeByte(NxU8 b) = 0;
    virtual NxStream& storeWord(NxU16 w) = 0;
    virtual NxStream& storeDword(NxU32 d) = 0;
    virtual NxStream& storeFloat(float f) = 0;
    virtual NxStream& storeDouble(double f) = 0;
    virtual NxStream& storeBuffer(const void* buffer, NxU32 size) = 0;
};

// ---- Parameters and flags ----------------------------------------------------------------------

enum NxParameter : int {
    NX_SKIN_WIDTH = 1,
    NX_VISUALIZATION_SCALE = 9,
    NX_VISUALIZE_COLLISION_SHAPES = 27,
    NX_VISUALIZE_COLLISION_AABBS = 29,
    NX_VISUALIZE_CLOTH_COLLISIONS = 37,
    NX_VISUALIZE_CLOTH_MESH = 39,
    NX_PARAMS_COUNT = 64,
};

enum NxBodyFlag : NxU32 {
    NX_BF_DISABLE_GRAVITY = 1,
    NX_BF_KINEMATIC = 128,
};

enum NxClothFlag : NxU32 {
    NX_CLF_GRAVITY = 32,
    NX_CLF_BENDING = 64,
    NX_CLF_DAMPING = 256,
    NX_CLF_HARDWARE = 8192,
};

enum NxClothVertexFlag : NxU32 {
    NX_CLOTH_VERTEX_TEARABLE = 128,
};

enum NxForceMode : int {
    NX_FORCE = 0,
};

// ---- Descriptors -------------------------------------------------------------------------------

struct NxPhysicsSDKDesc {
    NxU32 hwPageSize = 65536;
    NxU32 hwMaxPages = 256;
    NxU32 hwConvexMax = 2048;
    NxU32 flags = 0;
};

struct NxSceneDesc {
    NxVec3 gravity;
    NxReal maxTimestep = 1.0f / 60.0f;
    NxU32 maxIter = 8;
    NxU32 flags = 68;
};

struct NxMaterialDesc {
    NxReal dynamicFriction = 0.5f;
    NxReal staticFriction = 0.5f;
    NxReal restitution = 0.0f;
    NxReal dynamicFrictionV = 0.0f;
    NxReal staticFrictionV = 0.0f;
    NxVec3 dirOfAnisotropy{1, 0, 0};
    NxU32 flags = 0;
    int frictionCombineMode = 0;
    int restitutionCombineMode = 0;
};

enum NxShapeType : int {
    NX_SHAPE_PLANE = 0,
    NX_SHAPE_SPHERE = 1,
    NX_SHAPE_BOX = 2,
    NX_SHAPE_CAPSULE = 3,
};

// One shape of an actor: the union of the four kinds the binding builds.
struct NxShapeDesc {
    NxShapeType type = NX_SHAPE_BOX;
    NxVec3 dimensions;  // box half extents
    NxReal radius = 1.0f;
    NxReal height = 1.0f;
    NxVec3 normal{0, 1, 0};  // plane
    NxReal d = 0.0f;         // plane distance along the normal
    NxU32 group = 0;
    NxU16 materialIndex = 0;
};

struct NxBodyDesc {
    NxReal mass = 0.0f;  // 0: from the actor's density
    NxU32 flags = 0;
    NxReal sleepLinearVelocity = -1.0f;
};

struct NxActorDesc {
    NxMat34 globalPose;
    const NxBodyDesc* body = nullptr;  // null: static
    NxReal density = 0.0f;
    std::vector<NxShapeDesc> shapes;
};

struct NxClothMeshDesc {
    NxU32 numVertices = 0;
    NxU32 numTriangles = 0;
    NxU32 pointStrideBytes = 12;
    NxU32 triangleStrideBytes = 12;
    const void* points = nullptr;
    const void* triangles = nullptr;
    NxU32 flags = 0;
    NxU32 vertexMassStrideBytes = 4;
    NxU32 vertexFlagStrideBytes = 4;
    const void* vertexMasses = nullptr;
    const void* vertexFlags = nullptr;
    NxU32 target = 0;
};

// Where the SDK writes a cloth's vertices (position and normal), indices and parent indices after
// every step; the counts say how much is valid.
struct NxMeshData {
    void* verticesPosBegin = nullptr;
    void* verticesNormalBegin = nullptr;
    NxU32 verticesPosByteStride = 0;
    NxU32 verticesNormalByteStride = 0;
    NxU32 maxVertices = 0;
    NxU32* numVerticesPtr = nullptr;
    void* indicesBegin = nullptr;
    NxU32 indicesByteStride = 0;
    NxU32 maxIndices = 0;
    NxU32* numIndicesPtr = nullptr;
    void* parentIndicesBegin = nullptr;
    NxU32 parentIndicesByteStride = 0;
    NxU32 maxParentIndices = 0;
    NxU32* numParentIndicesPtr = nullptr;
    NxU32 dirtyBufferFlagsPtr = 0;
    NxU32 flags = 0;
};

class NxClothMesh;

struct NxClothDesc {
    NxMat34 globalPose;
    NxClothMesh* clothMesh = nullptr;
    NxReal thickness = 0.01f;
    NxReal density = 1.0f;
    NxReal bendingStiffness = 1.0f;
    NxReal stretchingStiffness = 1.0f;
    NxReal dampingCoefficient = 0.5f;
    NxReal friction = 0.5f;
    NxReal pressure = 1.0f;
    NxReal tearFactor = 1.5f;
    NxReal collisionResponseCoefficient = 0.2f;
    NxReal attachmentResponseCoefficient = 0.2f;
    NxReal attachmentTearFactor = 1.5f;
    NxU32 solverIterations = 5;
    NxVec3 externalAcceleration;
    NxReal wakeUpCounter = 0.4f;
    NxReal sleepLinearVelocity = -1.0f;
    NxMeshData meshData;
    NxU32 collisionGroup = 0;
    NxU32 flags = NX_CLF_GRAVITY;
};

// ---- Debug geometry ----------------------------------------------------------------------------

struct NxDebugPoint {
    NxVec3 p;
    NxU32 color;
};
struct NxDebugLine {
    NxVec3 p0, p1;
    NxU32 color;
};
struct NxDebugTriangle {
    NxVec3 p0, p1, p2;
    NxU32 color;
};

// The visualisation of a scene after its last step, valid until the next one.
class NxDebugRenderable {
public:
    NxU32 getNbPoints() const { return static_cast<NxU32>(points.size()); }
    const NxDebugPoint* getPoints() const { return points.data(); }
    NxU32 getNbLines() const { return static_cast<NxU32>(lines.size()); }
    const NxDebugLine* getLines() const { return lines.data(); }
    NxU32 getNbTriangles() const { return static_cast<NxU32>(triangles.size()); }
    const NxDebugTriangle* getTriangles() const { return triangles.data(); }

    std::vector<NxDebugPoint> points;
    std::vector<NxDebugLine> lines;
    std::vector<NxDebugTriangle> triangles;
};

// ---- Objects -----------------------------------------------------------------------------------

class NxScene;
class NxActor;
struct SceneWorld;
struct ActorBody;
struct ClothBody;

class NxShape {
public:
    void setGroup(NxU32 group);
    NxU32 getGroup() const { return group_; }

private:
    friend class NxScene;
    NxActor* actor_ = nullptr;
    NxU32 group_ = 0;
};

class NxMaterial {
public:
    void loadFromDesc(const NxMaterialDesc& desc) { desc_ = desc; }
    const NxMaterialDesc& getDesc() const { return desc_; }

private:
    NxMaterialDesc desc_;
};

class NxActor {
public:
    ~NxActor();
    void setGlobalPosition(const NxVec3& p);
    void setGlobalPose(const NxMat34& pose);
    NxMat34 getGlobalPose() const;
    NxVec3 getGlobalPosition() const;
    void raiseBodyFlag(NxU32 flag);
    void clearBodyFlag(NxU32 flag);
    bool readBodyFlag(NxU32 flag) const;
    void setMass(NxReal mass);
    NxReal getMass() const;
    bool isDynamic() const;
    void putToSleep();
    void wakeUp(NxReal wakeCounterValue);
    bool isSleeping() const;
    NxU32 getNbShapes() const { return 1; }
    NxShape* const* getShapes() const { return &shapePtr_; }

private:
    friend class NxScene;
    friend class NxShape;
    std::unique_ptr<ActorBody> body_;
    NxShape shape_;
    NxShape* shapePtr_ = &shape_;
};

class NxClothMesh {
public:
    NxU32 getNumVertices() const { return static_cast<NxU32>(points.size() / 3); }
    NxU32 getNumTriangles() const { return static_cast<NxU32>(triangles.size() / 3); }

    std::vector<float> points;
    std::vector<NxU32> triangles;
    std::vector<NxU32> vertexFlags;  // empty, or one per vertex
    NxU32 refCount = 0;
};

class NxCloth {
public:
    ~NxCloth();
    NxU32 getNumberOfParticles() const;
    void getPositions(void* buffer, NxU32 byteStride) const;
    void setPositions(const void* buffer, NxU32 byteStride);
    void setVelocities(const void* buffer, NxU32 byteStride);
    NxU32 getFlags() const { return flags_; }
    void setFlags(NxU32 flags) { flags_ = flags; }
    void setGroup(NxU32 group);
    NxU32 getGroup() const;
    void putToSleep();
    void wakeUp(NxReal wakeCounterValue);
    bool isSleeping() const;
    void attachVertexToGlobalPosition(NxU32 vertexId, const NxVec3& position);
    void addForceAtVertex(const NxVec3& force, NxU32 vertexId, NxForceMode mode);
    void setThickness(NxReal thickness);
    void setBendingStiffness(NxReal stiffness);
    void setStretchingStiffness(NxReal stiffness);
    void setDampingCoefficient(NxReal coefficient);
    void setFriction(NxReal friction);
    NxClothMesh* getClothMesh() const { return mesh_; }

private:
    friend class NxScene;
    std::unique_ptr<ClothBody> body_;
    NxClothMesh* mesh_ = nullptr;
    NxU32 flags_ = 0;
};

class NxScene {
public:
    explicit NxScene(const NxSceneDesc& desc);
    ~NxScene();
    NxScene(const NxScene&) = delete;
    NxScene& operator=(const NxScene&) = delete;

    void setGravity(const NxVec3& g);
    NxVec3 getGravity() const;
    NxMaterial* getMaterialFromIndex(NxU16 index);
    NxActor* createActor(const NxActorDesc& desc);
    void releaseActor(NxActor& actor);
    NxCloth* createCloth(const NxClothDesc& desc);
    void releaseCloth(NxCloth& cloth);
    // Both orders of the pair; every pair collides until it is set.
    void setGroupCollisionFlag(NxU32 group1, NxU32 group2, bool collide);
    bool getGroupCollisionFlag(NxU32 group1, NxU32 group2) const;
    // Advances the world by elapsedTime in fixed steps of the descriptor's maximum time step
    // (at most maxIter of them), then refreshes every cloth's receive buffers.
    void simulate(NxReal elapsedTime);
    bool flushStream() { return true; }
    // The simulation has always finished when simulate returns.
    bool fetchResults(NxU32 status, bool block, NxU32* errorState = nullptr);
    bool isWritable() const { return true; }
    // The shapes, cloth and contacts of the world as points, lines and triangles; null while
    // the visualisation scale is 0.
    const NxDebugRenderable* getDebugRenderable();
    NxU32 getNbActors() const;
    NxU32 getNbCloths() const;

private:
    friend class NxActor;
    friend class NxShape;
    friend class NxCloth;
    std::unique_ptr<SceneWorld> world_;
    NxMaterial material0_;
    NxDebugRenderable debug_;
};

class NxPhysicsSDK {
public:
    explicit NxPhysicsSDK(NxUserOutputStream* output) : output_(output) {}
    ~NxPhysicsSDK();
    NxPhysicsSDK(const NxPhysicsSDK&) = delete;
    NxPhysicsSDK& operator=(const NxPhysicsSDK&) = delete;

    NxScene* createScene(const NxSceneDesc& desc);
    void releaseScene(NxScene& scene);
    // Reads a mesh written by NxCookClothMesh; null when the data is not one.
    NxClothMesh* createClothMesh(const NxStream& stream);
    void releaseClothMesh(NxClothMesh& mesh);
    bool setParameter(NxParameter parameter, NxReal value);
    NxReal getParameter(NxParameter parameter) const;
    NxU32 getNbScenes() const { return static_cast<NxU32>(scenes_.size()); }
    NxUserOutputStream* getOutputStream() const { return output_; }
    // Deletes the SDK and everything it still holds.
    void release();

private:
    NxUserOutputStream* output_;
    std::vector<std::unique_ptr<NxScene>> scenes_;
    std::vector<std::unique_ptr<NxClothMesh>> meshes_;
    NxReal params_[NX_PARAMS_COUNT] = {};
};

// Reports an error through the output stream of the SDK that exists, if any.
void ReportSdkError(NxErrorCode code, const char* message);

// ---- Entry points
// -------------------------------------------------------------------------------- The loader
// module exports the first two, the cooking module the other three.

using NxCreatePhysicsSDKFn = NxPhysicsSDK* (*)(NxU32 sdkVersion, NxUserAllocator* allocator,
                                               NxUserOutputStream* outputStream,
                                               const NxPhysicsSDKDesc& desc,
                                               NxSDKCreateError* errorCode);
using NxGetPhysicsSDKAllocatorFn = NxUserAllocator* (*)();
using NxInitCookingFn = bool (*)(NxUserAllocator* allocator, NxUserOutputStream* outputStream);
using NxCloseCookingFn = void (*)();
using NxCookClothMeshFn = bool (*)(const NxClothMeshDesc& desc, NxStream& stream);

NxPhysicsSDK* NxCreatePhysicsSDK(NxU32 sdkVersion, NxUserAllocator* allocator,
                                 NxUserOutputStream* outputStream, const NxPhysicsSDKDesc& desc,
                                 NxSDKCreateError* errorCode);
NxUserAllocator* NxGetPhysicsSDKAllocator();
bool NxInitCooking(NxUserAllocator* allocator, NxUserOutputStream* outputStream);
void NxCloseCooking();
bool NxCookClothMesh(const NxClothMeshDesc& desc, NxStream& stream);

// Makes the runtime's two modules, found in directory, export the entry points above through the
// Win32 layer's module loading; with present false they export nothing (a machine without the
// runtime).
void RegisterPhysicsRuntime(const char* directory, bool present = true);

}  // namespace Nx
