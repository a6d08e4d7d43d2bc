#include "Entity/Texture/TextureManager.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <new>
#include <string_view>

#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IResList_Impl.h"
#include "Core/IResVisitor.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/SectionGuard.h"
#include "Core/StreamFactory.h"
#include "Core/TimeStrings.h"
#include "Entity/Texture/AnimationBlendTexture.h"
#include "Entity/Texture/AnimationTexture.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureCubeMap.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Entity/Material/TextureStage.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"

namespace Zel {
namespace {

constexpr const char* kActorReflectionPath = "../resources/media/shaders/common/actor_ref.jpg";
constexpr int kListCreated = 1, kListRemoved = 2, kListTargetCreated = 3, kListTargetRemoved = 4;
constexpr int kGroupCount = 6;
constexpr const char* kStars =
    "********************************************************************\n";
constexpr const char* kEquals =
    "=======================================================================\n";
constexpr const char* kGroupTitles[kGroupCount] = {"Client List : \n", "UI List : \n",
                                                   "Effect List : \n", "Scene List : \n",
                                                   "Actor List : \n",  "Other List : \n"};
enum Group { GROUP_CLIENT, GROUP_UI, GROUP_EFFECT, GROUP_SCENE, GROUP_ACTOR, GROUP_OTHER };

// Each face name of a cube name ends with this ("a*b*c*d*e*f*").
constexpr char kCubeFaceEnd = '*';
// Cubes are filled from their face images once; the device keeps them across a reset.
constexpr std::uint32_t kCubePool = 1;

// Splits "a*b*c*d*e*f*" into its six face names; false unless there are exactly six, none empty.
bool SplitCubeName(const std::string& name,
                   std::array<std::string, TextureCubeMap::kFaceCount>& faces) {
    std::size_t start = 0;
    for (std::string& face : faces) {
        const std::size_t end = name.find(kCubeFaceEnd, start);
        if (end == std::string::npos || end == start)
            return false;
        face = name.substr(start, end - start);
        start = end + 1;
    }
    return start == name.size();
}

// The six face images of one cube, with their pixels (the image decode road). A face is entered
// in the image manager under its name in the cube notation ("a.png*"), never under the file's own
// name: the ordinary image of that file holds a texture and no pixels. The faces are only the
// cube's upload source, so they leave the image manager again once the cube is made.
class CubeFaceImages {
public:
    CubeFaceImages() = default;
    ~CubeFaceImages() {
        ImageManager* images = Globals::Find(&Globals::GetImageManager);
        for (SharedPtr<Image>& face : faces_) {
            Image* image = face.Get();
            face.Reset();
            if (image && images)
                images->Remove(image);
        }
    }
    CubeFaceImages(const CubeFaceImages&) = delete;
    CubeFaceImages& operator=(const CubeFaceImages&) = delete;

    // False, without a report from the decoders, when neither the file nor (with the DDS
    // preference) its ".dds" sibling exists; false when it does not decode.
    bool Load(std::size_t index, const std::string& name) {
        ImageManager* images = Globals::Find(&Globals::GetImageManager);
        if (!images)
            return false;
        const std::string path =
            PathHasParentOrSlash(name) ? name : JoinPath(images->GetBasePath(), name);
        const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
        const bool preferDds = config && config->PreferDDS();
        if (!FileExists(path) && !(preferDds && FileExists(ReplaceExtension(path, ".dds"))))
            return false;
        faces_[index].Assign(static_cast<Image*>(images->Create(name + kCubeFaceEnd)));
        return faces_[index] && faces_[index]->LoadPreferDds(path);
    }
    const std::array<SharedPtr<Image>, TextureCubeMap::kFaceCount>& Get() const { return faces_; }

private:
    std::array<SharedPtr<Image>, TextureCubeMap::kFaceCount> faces_;
};

bool Has(const std::string& name, const char* word) {
    return name.find(word) != std::string::npos;
}

// Texture names are stored lower-cased, so the capitalised group words must match in any case.
bool HasIgnoringCase(const std::string& name, std::string_view word) {
    const auto it =
        std::search(name.begin(), name.end(), word.begin(), word.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        });
    return it != name.end();
}

}  // namespace

TextureManager::TextureManager() {
    RegisterRenderResourceManager(this);
}

TextureManager::~TextureManager() {
    if (defaultTexture_)
        defaultTexture_->DecRef();
    defaultTexture_ = nullptr;
    if (protectedTexture_)
        protectedTexture_->DecRef();
    protectedTexture_ = nullptr;
    if (actorReflectionTexture_)
        actorReflectionTexture_->DecRef();
    actorReflectionTexture_ = nullptr;
    actorReflectionImage_.Reset();
    {
        SectionGuard guard(poolLock_);
        pool_.Clear();
    }
    for (int i = 0; i < 2; ++i) {
        SectionGuard guard(scratchLocks_[i]);
        std::vector<std::uint8_t>().swap(scratch_[i]);
    }
    UnregisterRenderResourceManager(this);
    SectionGuard guard(listLock_);
    // Animated textures of both kinds give back references to their frame textures: they go
    // before any frame can.
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < textures_.size();) {
            TextureBase* texture = textures_[i];
            const bool animated = texture->GetType() == TextureBase::KIND_ANIMATED ||
                                  texture->GetType() == TextureBase::KIND_ANIMATED_BLEND;
            if ((pass == 0) != animated) {
                ++i;
                continue;
            }
            Tell(kListRemoved, texture);
            textures_.erase(textures_.begin() + std::ptrdiff_t(i));
            delete texture;
        }
    }
    SectionGuard targetGuard(targetLock_);
    targets_.clear();
}

void TextureManager::SetDevice(IDirect3DDevice9* device, RenderDevice* renderDevice) {
    device_ = device;
    renderDevice_ = renderDevice;
}

// ---- Budget ----

bool TextureManager::CheckVideoMemory(std::uint32_t bytes) {
    if (videoMemoryBudget_ == 0) {
        LogTyped(LOG_ENGINE_INIT, "可用显存返回0!,直接返回true");
        return true;
    }
    const std::uint32_t available =
        videoMemoryBudget_ > deviceTextureBytes_ ? videoMemoryBudget_ - deviceTextureBytes_ : 0;
    return double(bytes) * 0.5 <= double(available);
}

void TextureManager::AddDeviceTextureBytes(std::uint32_t bytes) {
    deviceTextureBytes_ += bytes;
}

void TextureManager::RemoveDeviceTextureBytes(std::uint32_t bytes) {
    deviceTextureBytes_ = deviceTextureBytes_ > bytes ? deviceTextureBytes_ - bytes : 0;
}

bool TextureManager::ReserveVideoMemory(std::uint32_t bytes) {
    if (!CheckVideoMemory(bytes)) {
        if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager)) {
            materials->Collect();
            materials->Purge();
        }
        PurgeUnused();
        if (ImageManager* images = Globals::Find(&Globals::GetImageManager)) {
            images->Collect();
            images->Purge();
        }
        if (!CheckVideoMemory(bytes))
            return false;
    }
    AddDeviceTextureBytes(bytes);
    return true;
}

// ---- Pool ----

void TextureManager::LoadTexturePoolConfig() {
    SectionGuard guard(poolLock_);
    ++poolConfigLoads_;
    pool_.LoadConfig();
}

TextureBase* TextureManager::TakeFromTexturePool(std::int32_t level) {
    SectionGuard guard(poolLock_);
    return pool_.Take(level);
}

bool TextureManager::ReturnToTexturePool(TextureBase* texture) {
    SectionGuard guard(poolLock_);
    return pool_.Return(texture);
}

bool TextureManager::GetTexturePoolLevel(std::int32_t* level, std::int32_t* format,
                                         std::int32_t* width, std::int32_t* height) {
    SectionGuard guard(poolLock_);
    return pool_.GetLevel(level, format, width, height);
}

void TextureManager::ClearTexturePool() {
    SectionGuard guard(poolLock_);
    pool_.Clear();
}

// ---- Textures ----

TextureBase* TextureManager::CreateTexture(std::uint32_t pool, int kind) {
    if (!device_)
        return nullptr;
    GraphicsAPIManagerD3D9* factory = Globals::Find(&Globals::GetGraphicsAPIManager);
    SectionGuard guard(listLock_);
    TextureBase* texture = nullptr;
    if (kind == TextureBase::KIND_ANIMATED)
        texture = new (std::nothrow) AnimationTexture(pool, device_);
    else if (kind == TextureBase::KIND_ANIMATED_BLEND)
        texture = new (std::nothrow) AnimationBlendTexture(pool, device_);
    else if (factory)
        texture = factory->NewTexture(pool, device_, kind);
    if (!texture)
        return nullptr;
    textures_.push_back(texture);
    Tell(kListCreated, texture);
    return texture;
}

TextureBase* TextureManager::CreateStagingTexture(int width, int height, int format) {
    TextureBase* texture = CreateTexture(MP_SYSTEM_MEMORY, TextureBase::KIND_2D);
    if (texture && !texture->Create(width, height, 1, TextureBase::KIND_2D, format, 1, false)) {
        ForceRemove(texture);
        texture = nullptr;
    }
    return texture;
}

RenderTarget* TextureManager::CreateRenderTarget(bool depthStencil) {
    GraphicsAPIManagerD3D9* factory = Globals::Find(&Globals::GetGraphicsAPIManager);
    if (!renderDevice_ || !factory)
        return nullptr;
    return AddRenderTarget(factory->NewRenderTarget(renderDevice_, depthStencil));
}

RenderTarget* TextureManager::AddRenderTarget(RenderTarget* target) {
    if (!target)
        return nullptr;
    {
        SectionGuard guard(listLock_);
        textures_.push_back(target);
    }
    {
        SectionGuard guard(targetLock_);
        targets_.push_back(target);
    }
    Tell(kListTargetCreated, target);
    return target;
}

RenderTarget* TextureManager::FindFreeRenderTarget(int width, int height, int depth, int format,
                                                   int type) {
    SectionGuard guard(targetLock_);
    for (RenderTarget* target : targets_) {
        const TextureBase* t = target;
        if (t->GetWidth() == width && t->GetHeight() == height && t->GetDepth() == depth &&
            t->GetFormat() == format && t->GetType() == type &&
            !(t->GetFlags() & TextureBase::FLAG_IN_USE))
            return target;
    }
    return nullptr;
}

void TextureManager::Unlink(std::size_t index) {
    TextureBase* texture = textures_[index];
    textures_.erase(textures_.begin() + std::ptrdiff_t(index));
    SectionGuard guard(targetLock_);
    const auto found = std::find(targets_.begin(), targets_.end(), texture);
    if (found != targets_.end()) {
        targets_.erase(found);
        Tell(kListTargetRemoved, texture);
    }
}

void TextureManager::PurgeUnused() {
    SectionGuard guard(listLock_);
    for (std::size_t i = 0; i < textures_.size();) {
        TextureBase* texture = textures_[i];
        if (texture->GetRefCount() != 1 || (texture->GetFlags() & TextureBase::FLAG_CLIENT_OWNED)) {
            ++i;
            continue;
        }
        Unlink(i);
        delete texture;
    }
}

bool TextureManager::ForceRemove(TextureBase* texture) {
    if (texture && (texture == defaultTexture_ || texture == protectedTexture_))
        return true;
    SectionGuard guard(listLock_);
    const auto found = std::find(textures_.begin(), textures_.end(), texture);
    if (!texture || found == textures_.end() || texture->GetRefCount() != 1) {
        ReportError("Can't forceremove this resource!");
        return false;
    }
    Unlink(std::size_t(found - textures_.begin()));
    Tell(kListRemoved, texture);
    delete texture;
    return true;
}

void TextureManager::Enumerate(IResVisitor* visitor) {
    if (!visitor)
        return;
    {
        SectionGuard guard(listLock_);
        for (TextureBase* texture : textures_)
            visitor->VisitActive(texture->GetName().c_str(), texture->GetRefCount());
    }
    SectionGuard guard(targetLock_);
    for (RenderTarget* target : targets_) {
        const TextureBase* t = target;
        visitor->VisitActive(t->GetName().c_str(), t->GetRefCount());
    }
}

void TextureManager::OnLostDevice() {
    SectionGuard guard(listLock_);
    for (TextureBase* texture : textures_)
        if (texture->IsDefaultPool())
            texture->OnDeviceLost();
}

void TextureManager::OnResetDevice() {
    SectionGuard guard(listLock_);
    // A re-creation may purge textures to make room: walk a copy of the list and skip what has
    // left it meanwhile.
    const std::vector<TextureBase*> textures = textures_;
    for (TextureBase* texture : textures)
        if (std::find(textures_.begin(), textures_.end(), texture) != textures_.end() &&
            texture->IsDefaultPool())
            texture->OnDeviceReset();
}

TextureBase* TextureManager::GetDefaultTexture() {
    if (!defaultTexture_) {
        ImageManager* images = Globals::Find(&Globals::GetImageManager);
        Image* image = images ? images->GetDefaultImage() : nullptr;
        TextureBase* texture = image ? image->GetTexture() : nullptr;
        if (texture) {
            texture->AddRef();
            defaultTexture_ = texture;
        }
    }
    return defaultTexture_;
}

void TextureManager::SetProtectedTexture(TextureBase* texture) {
    if (texture)
        texture->AddRef();
    if (protectedTexture_)
        protectedTexture_->DecRef();
    protectedTexture_ = texture;
}

void TextureManager::LoadImage(const std::string& path, SharedPtr<Image>& out) {
    ImageManager* images = Globals::Find(&Globals::GetImageManager);
    if (!images)
        return;
    CResource* loaded =
        PathHasParentOrSlash(path) ? images->Load(path, path) : images->LoadFromBasePath(path);
    auto* image = static_cast<Image*>(loaded);
    if (!image || !image->IsLoadSucceeded())
        image = images->GetDefaultImage();
    out.Assign(image);
}

void TextureManager::LoadImageFromMem(const std::string& name, IZelStream* stream,
                                      SharedPtr<Image>& out) {
    if (!stream) {
        std::string message, location;
        FormatAssertMessage(message, location, "Engine/Entity/TextureManager", 585,
                            "Zel::TextureManager::LoadImageFromMem", "%s", "pstream==NULL");
        ReportAssert(message, location);
        return;
    }
    ImageManager* images = Globals::Find(&Globals::GetImageManager);
    if (!images)
        return;
    auto* image = static_cast<Image*>(images->Load(name, stream));
    if (!image || !image->IsLoadSucceeded())
        image = images->GetDefaultImage();
    out.Assign(image);
}

TextureBase* TextureManager::GetActorReflectionTexture() {
    if (!actorReflectionImage_) {
        LoadImage(kActorReflectionPath, actorReflectionImage_);
        if (!actorReflectionImage_)
            return nullptr;
        actorReflectionTexture_ = actorReflectionImage_->GetTexture();
        if (actorReflectionTexture_)
            actorReflectionTexture_->AddRef();
    }
    return actorReflectionImage_->CreateDefaultTexture();
}

// ---- Scratch buffers ----

std::uint8_t* TextureManager::ScratchBuffer(int which) {
    SectionGuard guard(scratchLocks_[which]);
    if (scratch_[which].empty())
        scratch_[which].assign(which == 0 ? ScratchBuffer4MSize() : ScratchBuffer2MSize(), 0);
    return scratch_[which].data();
}

std::uint8_t* TextureManager::GetScratchBuffer4M() {
    return ScratchBuffer(0);
}

std::uint8_t* TextureManager::GetScratchBuffer2M() {
    return ScratchBuffer(1);
}

std::uint64_t TextureManager::GetScratchBufferRoom(const void* p) {
    const auto* at = static_cast<const std::uint8_t*>(p);
    for (int i = 0; i < 2; ++i) {
        SectionGuard guard(scratchLocks_[i]);
        const std::vector<std::uint8_t>& buffer = scratch_[i];
        if (!buffer.empty() && at >= buffer.data() && at < buffer.data() + buffer.size())
            return std::uint64_t(buffer.data() + buffer.size() - at);
    }
    return 0;
}

// ---- Listeners ----

std::uint32_t TextureManager::AddListener(int list, ResourceListener listener) {
    if (list < 1 || list > 4 || !listener)
        return 0xFFFFFFFFu;
    SectionGuard guard(listLock_);
    std::vector<ResourceListener>& slots = listeners_[list - 1];
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (!slots[i]) {
            slots[i] = listener;
            return std::uint32_t(i);
        }
    slots.push_back(listener);
    return std::uint32_t(slots.size() - 1);
}

void TextureManager::RemoveListener(int list, std::uint32_t index) {
    if (list < 1 || list > 4)
        return;
    SectionGuard guard(listLock_);
    std::vector<ResourceListener>& slots = listeners_[list - 1];
    if (index < slots.size())
        slots[index] = nullptr;
}

void TextureManager::Tell(int list, const TextureBase* texture) {
    const DWORD thread = GetCurrentThreadId();
    for (ResourceListener listener : listeners_[list - 1])
        if (listener)
            listener(texture->GetName().c_str(), thread);
}

// ---- Counts ----

std::uint32_t TextureManager::GetActiveTextureCount() {
    SectionGuard guard(listLock_);
    return std::uint32_t(std::count_if(textures_.begin(), textures_.end(),
                                       [](const TextureBase* t) { return t->GetRefCount() != 1; }));
}

std::uint32_t TextureManager::GetUnreferencedTextureCount() {
    SectionGuard guard(listLock_);
    return std::uint32_t(std::count_if(textures_.begin(), textures_.end(),
                                       [](const TextureBase* t) { return t->GetRefCount() == 1; }));
}

std::uint32_t TextureManager::GetActiveTextureBytes() {
    SectionGuard guard(listLock_);
    std::uint32_t bytes = 0;
    for (const TextureBase* t : textures_)
        if (t->GetRefCount() != 1)
            bytes += t->GetSizeInBytes();
    return bytes;
}

std::uint32_t TextureManager::GetUnreferencedTextureBytes() {
    SectionGuard guard(listLock_);
    std::uint32_t bytes = 0;
    for (const TextureBase* t : textures_)
        if (t->GetRefCount() == 1)
            bytes += t->GetSizeInBytes();
    return bytes;
}

std::size_t TextureManager::GetTextureCount() {
    SectionGuard guard(listLock_);
    return textures_.size();
}

void TextureManager::DetachRenderTargets() {
    SectionGuard guard(targetLock_);
    for (RenderTarget* target : targets_) target->DetachDevice();
}

std::size_t TextureManager::GetRenderTargetCount() {
    SectionGuard guard(targetLock_);
    return targets_.size();
}

bool TextureManager::Contains(const TextureBase* texture) {
    SectionGuard guard(listLock_);
    return std::find(textures_.begin(), textures_.end(), texture) != textures_.end();
}

bool TextureManager::ContainsRenderTarget(const void* target) {
    SectionGuard guard(targetLock_);
    return std::find_if(targets_.begin(), targets_.end(), [target](const RenderTarget* t) {
               return static_cast<const void*>(t) == target;
           }) != targets_.end();
}

namespace {

// One texture or render target of a list handed to the host, as it was when the list was built.
class TextureResInfo final : public IResInfo_Impl {
public:
    explicit TextureResInfo(const TextureBase& texture)
        : IResInfo_Impl(texture.GetName(), texture.GetRefCount(), texture.GetSizeInBytes()) {}
};

template <class Texture>
std::unique_ptr<IResList_Impl> BuildTextureList(const std::vector<Texture*>& textures) {
    auto list = std::make_unique<IResList_Impl>();
    for (const TextureBase* texture : textures)
        list->Add(std::make_unique<TextureResInfo>(*texture));
    return list;
}

}  // namespace

TextureBase* TextureManager::FindByName(const std::string& name) {
    const std::string normalised = NormalizePath(name);
    SectionGuard guard(listLock_);
    for (TextureBase* texture : textures_)
        if (texture->GetName() == normalised)
            return texture;
    return nullptr;
}

RenderTarget* TextureManager::FindRenderTargetByName(const std::string& name) {
    SectionGuard guard(targetLock_);
    for (RenderTarget* target : targets_)
        if (static_cast<const TextureBase*>(target)->GetName() == name)
            return target;
    return nullptr;
}

IResList_Impl* TextureManager::GetResList() {
    SectionGuard guard(listLock_);
    textureList_ = BuildTextureList(textures_);
    return textureList_.get();
}

IResList_Impl* TextureManager::GetRenderTargetResList() {
    SectionGuard guard(targetLock_);
    targetList_ = BuildTextureList(targets_);
    return targetList_.get();
}

// ---- Reports ----

int TextureManager::GroupOf(const std::string& name) {
    if (Has(name, "effect"))
        return GROUP_EFFECT;
    if (Has(name, "Scenes") || Has(name, "scenes"))
        return GROUP_SCENE;
    if (Has(name, "ui"))
        return GROUP_UI;
    if (HasIgnoringCase(name, "Client"))
        return GROUP_CLIENT;
    if (HasIgnoringCase(name, "Actor"))
        return GROUP_ACTOR;
    return GROUP_OTHER;
}

std::vector<std::vector<TextureBase*>> TextureManager::CollectGroups() {
    std::vector<std::vector<TextureBase*>> groups(kGroupCount);
    SectionGuard guard(listLock_);
    for (TextureBase* texture : textures_)
        groups[std::size_t(GroupOf(texture->GetName()))].push_back(texture);
    return groups;
}

void TextureManager::DumpResources(const char* fileName) {
    const std::string name = fileName ? std::string(fileName) : "TexRes" + GetTimeString() + ".txt";
    char previous[kDirectoryBufferSize] = {};
    PushCurrentDirectory(previous);
    FILE* file = std::fopen(name.c_str(), "a+");
    if (!file) {
        PopCurrentDirectory(previous);
        return;
    }
    static const char* const kLineFormats[kGroupCount] = {
        "%s : Ref=%d, %u x %u, Size=%u Byte,%s\n",  "%s : Ref=%d, %u x %u,  Size=%u Byte,%s\n",
        "%s : Ref=%d, %u x %u,  Size=%u Byte,%s\n", "%s : Ref=%d, %u x %u,  Size=%u Byte,%s\n",
        "%s : Ref=%d,%u x %u,  Size=%u Byte,%s\n",  "%s : Ref=%d,%u x %u,  Size=%u Byte,%s\n"};
    const std::vector<std::vector<TextureBase*>> groups = CollectGroups();
    std::fputs(kStars, file);
    std::uint32_t total = 0;
    for (int g = 0; g < kGroupCount; ++g) {
        std::fputs(kGroupTitles[g], file);
        std::uint32_t bytes = 0;
        for (const TextureBase* t : groups[std::size_t(g)]) {
            const std::uint32_t size = t->GetSizeInBytes();
            std::fprintf(file, kLineFormats[g], "Texture", t->GetRefCount(),
                         unsigned(t->GetWidth()), unsigned(t->GetHeight()), size,
                         t->GetName().c_str());
            bytes += size;
        }
        std::fprintf(file, "Count : %zu, FootPrint : %u KB\n", groups[std::size_t(g)].size(),
                     bytes >> 10);
        std::fputs(kEquals, file);
        total += bytes;
    }
    std::fprintf(file, "Total Count : %u, Total FootPrint : %u KB\n", unsigned(GetTextureCount()),
                 total >> 10);
    std::fputs(kStars, file);
    std::fclose(file);
    PopCurrentDirectory(previous);
}

void TextureManager::WriteResourceReport(std::ostream& stream) {
    const std::vector<std::vector<TextureBase*>> groups = CollectGroups();
    char line[1024];
    stream << kStars;
    std::uint32_t total = 0;
    std::size_t count = 0;
    for (int g = 0; g < kGroupCount; ++g) {
        stream << kGroupTitles[g];
        std::uint32_t bytes = 0;
        std::uint32_t index = 0;
        for (const TextureBase* t : groups[std::size_t(g)]) {
            const std::uint32_t size = t->GetSizeInBytes();
            std::snprintf(line, sizeof line,
                          g == GROUP_CLIENT ? "%u : %u x %u, Size=%u Byte,%s,Ref=%d\n"
                                            : "%u : %u x %u,  Size=%u Byte,%s,Ref=%d\n",
                          index++, unsigned(t->GetWidth()), unsigned(t->GetHeight()), size,
                          t->GetName().c_str(), t->GetRefCount());
            stream << line;
            bytes += size;
        }
        std::snprintf(line, sizeof line, "Count : %lu, FootPrint : %u KB\n",
                      static_cast<unsigned long>(groups[std::size_t(g)].size()), bytes >> 10);
        stream << line << kEquals;
        total += bytes;
        count += groups[std::size_t(g)].size();
    }
    std::snprintf(line, sizeof line, "Total Count : %u, Total FootPrint : %u KB\n", unsigned(count),
                  total >> 10);
    stream << line << kStars;
}

// --- Stage textures for materials -----------------------------------------------------------

bool TextureManager::WantsDefaultTextures() {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return (GetTextureLoadFlags() & 0x2) != 0 || (config && config->GetValue(39) != 0);
}

void TextureManager::ResolveTextureSlot(TextureStage& stage) {
    if (!(stage.flags & TSF_TEXTURE_PENDING))
        return;
    if (WantsDefaultTextures())
        stage.SetTexture(defaultTexture_);
    else
        LoadTextureSlot(stage);
    stage.flags &= ~std::uint32_t(TSF_TEXTURE_PENDING);
}

void TextureManager::LoadTextureSlot(TextureStage& stage) {
    stage.flags &= ~std::uint32_t(TSF_TEXTURE_PENDING);
    stage.SetTexture(LoadNamedTexture(stage.textureName));
}

TextureBase* TextureManager::LoadNamedTexture(const std::string& name) {
    if (name.find(kCubeFaceEnd) != std::string::npos)
        return LoadCubeTexture(name);
    SharedPtr<Image> image;
    LoadImage(name, image);
    TextureBase* texture =
        image && image->IsLoadSucceeded() ? image->CreateDefaultTexture() : nullptr;
    return texture ? texture : GetDefaultTexture();
}

// Cube names are split here, where every stage texture is made, so that the binary library, both
// XML dialects and reloads all reach the same cube for the same six faces.
TextureBase* TextureManager::LoadCubeTexture(const std::string& name) {
    std::array<std::string, TextureCubeMap::kFaceCount> faceNames;
    if (!SplitCubeName(name, faceNames)) {
        LogTyped(LOG_ENGINE_INIT, "Cube texture %s does not name six face images", name.c_str());
        return GetDefaultTexture();
    }
    if (!device_)
        return GetDefaultTexture();
    const std::string normalised = NormalizePath(name);
    {
        SectionGuard guard(listLock_);
        for (TextureBase* texture : textures_)
            if (texture->GetType() == TextureBase::KIND_CUBE && !texture->IsRenderTarget() &&
                texture->GetName() == normalised)
                return texture;
    }
    CubeFaceImages faces;
    for (int i = 0; i < TextureCubeMap::kFaceCount; ++i) {
        if (!faces.Load(std::size_t(i), faceNames[std::size_t(i)])) {
            LogTyped(LOG_ENGINE_INIT, "Cube texture %s: face image %s is missing or unreadable",
                     name.c_str(), faceNames[std::size_t(i)].c_str());
            return GetDefaultTexture();
        }
    }
    auto* cube = dynamic_cast<TextureCubeMap*>(CreateTexture(kCubePool, TextureBase::KIND_CUBE));
    if (!cube)
        return GetDefaultTexture();
    if (!cube->SetImages(faces.Get())) {
        LogTyped(LOG_ENGINE_INIT, "Cube texture %s: face images differ in size or format",
                 name.c_str());
        ForceRemove(cube);
        return GetDefaultTexture();
    }
    // The cube logs its own failure (memory, device).
    const bool made = cube->CreateFromImage();
    // A cube in the pool the device restores keeps no pixels, as a 2D image's texture does not.
    cube->ReleaseImage();
    if (!made) {
        ForceRemove(cube);
        return GetDefaultTexture();
    }
    cube->SetName(name);
    return cube;
}

}  // namespace Zel
