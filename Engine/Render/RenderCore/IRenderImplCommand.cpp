// The numbered command entry of the root interface: switches and one-off jobs that have no
// operation of their own. Host thread.
#include "Render/RenderCore/IRenderImpl.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "Core/FrameStats.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/QueueMode.h"
#include "Core/TiXmlDocument.h"
#include "Core/XMLManager.h"
#include "Core/XMLResource.h"
#include "Core/threadmng.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActorFootLock.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"
#include "Render/SystemProbes.h"

namespace Zel {
namespace {

// The host's clip-plane block: a count and six planes (a, b, c, d), kept process-wide with the
// switch it implies until the next command writes them.
struct ClipPlaneBlock {
    std::int32_t count = 0;
    float planes[IRenderImpl::kMaxClipPlanes][4] = {};
};
ClipPlaneBlock g_clipPlanes;
std::uint32_t g_clipPlanesOn = 0;

const char* CommandText(const void* input) {
    return static_cast<const char*>(input);
}

void WriteCommandText(void* output, const char* text) {
    if (output)
        std::memcpy(output, text, std::strlen(text) + 1);
}

// Logs what the named shader library lacks: the document, its library element, or both kinds
// of shader list.
void CheckShaderLibrary(const char* name) {
    XMLManager* xml = Globals::Find(&Globals::GetXMLManager);
    if (!name || !xml)
        return;
    auto* resource = static_cast<XMLResource*>(xml->GetByName(name));
    if (!resource)
        resource = static_cast<XMLResource*>(xml->Load(name));
    TiXmlDocument* document = resource ? GetDocument(resource) : nullptr;
    if (!document || !document->first_node()) {
        LogTyped(LOG_ENGINE_INIT, "NO XML,name=%s", name);
        return;
    }
    XmlNode* library = document->first_node("SHADERLIB");
    if (!library) {
        LogTyped(LOG_ENGINE_INIT, "NO SHADERLIB,name=%s", name);
        return;
    }
    if (!library->first_node("ARB15_PIPELINE") && !library->first_node("SHADER"))
        LogTyped(LOG_ENGINE_INIT, "NO SHADER,name=%s", name);
}

// Command 2's record: a skinned model's interface pointer, then directly the characters of an
// action id of its skeleton's tree. The action that item holds already, as the host's interface;
// null for a record without a bound model, or an item not loaded.
ZelI::IAction* FindModelTreeAction(const void* input) {
    if (!input)
        return nullptr;
    ZelI::IObject* object = nullptr;
    std::memcpy(&object, input, sizeof object);
    const char* id = static_cast<const char*>(input) + sizeof object;
    SkeletonModel* model = UnwrapInterface<SkeletonModel>(object);
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    Action* action = model && actions ? actions->FindTreeItemAction(id, *model) : nullptr;
    return action ? action->GetInterface() : nullptr;
}

}  // namespace

void IRenderImpl::SetClipPlanes(const void* input) {
    if (!input)
        return;
    ClipPlaneBlock block;
    std::memcpy(&block.count, input, sizeof(block.count));
    std::memcpy(block.planes, static_cast<const char*>(input) + sizeof(block.count),
                sizeof(block.planes));
    // The device has six planes; a larger count would read past the block.
    if (block.count < 0 || block.count > kMaxClipPlanes) {
        const std::int32_t clamped = std::clamp<std::int32_t>(block.count, 0, kMaxClipPlanes);
        LogTyped(LOG_ENGINE_INIT, "ClipPlane count=%d out of range, %d used", block.count, clamped);
        block.count = clamped;
    }
    g_clipPlanes = block;
    g_clipPlanesOn = block.count != 0 ? 1u : 0u;
    RenderDevice* device = renderSystem_ ? renderSystem_->GetRenderDevice() : nullptr;
    if (!device)
        return;
    if (!g_clipPlanesOn) {
        device->SetClipPlaneEnable(false);
        return;
    }
    device->SetClipPlaneEnable(true);
    // The switch turns every plane on: those past the count keep nothing out.
    static constexpr float kOpen[4] = {};
    for (std::int32_t i = 0; i < kMaxClipPlanes; ++i)
        device->SetClipPlane(static_cast<std::uint32_t>(i),
                             i < block.count ? block.planes[i] : kOpen);
}

void IRenderImpl::DoCommand(int id, const void* input, std::intptr_t, void* output, std::intptr_t) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    RenderDevice* device = renderSystem_ ? renderSystem_->GetRenderDevice() : nullptr;
    switch (id) {
        case -2:
            LogTyped(LOG_ENGINE_INIT, "pre render actor");
            RenderScene(static_cast<ZelI::IMoveObject*>(const_cast<void*>(input)));
            break;
        case -1:
            if (output) {
                const std::int32_t zero = IsProjectionDepthOffsetZero() ? 1 : 0;
                std::memcpy(output, &zero, sizeof(zero));
            }
            break;
        case 1:
            if (device && CommandText(input)) {
                static constexpr struct {
                    const char* text;
                    std::int32_t mode;
                } kModes[] = {
                    {"7", MODE_FIXED_FUNCTION}, {"8", MODE_FIXED_FUNCTION2}, {"9", MODE_SHADER}};
                for (const auto& m : kModes)
                    if (std::strcmp(CommandText(input), m.text) == 0)
                        device->SetFixedFunctionMode(m.mode);
            }
            break;
        case 2:
            if (ZelI::IAction* action = output ? FindModelTreeAction(input) : nullptr)
                std::memcpy(output, &action, sizeof action);
            break;
        case 3:
            FootLockParams::Configure(static_cast<const std::uint8_t*>(input), output);
            break;
        case 4: {
            const bool on = CommandText(input) && strcasecmp(CommandText(input), "true") == 0;
            if (!on)
                LogTyped(LOG_ENGINE_INIT, "LockFree false!");
            threadmng::GetInstance()->SetLockFree(on);
            break;
        }
        case 5:
            SetClipPlanes(input);
            break;
        case 7:
            PreloadRoleActions(CommandText(input), output);
            break;
        case 8:
            PreloadModelActions(CommandText(input), output);
            break;
        case 16:
            WriteCommandText(output, "0");
            break;
        case 17:
            SetQueueMode(CommandText(input) && std::strcmp(CommandText(input), "true") == 0 ? 1u
                                                                                            : 0u);
            break;
        case 18:
            WriteCommandText(output, IsQueueMode() ? "true" : "false");
            break;
        case 19:
            if (CommandText(input))
                ProfileBeginEvent(device, CommandText(input));
            break;
        case 20:
            ProfileEndEvent(device);
            break;
        case 21:
            if (CommandText(input))
                ProfileSetMarker(device, CommandText(input), 0xFFFFFFFFu);
            break;
        case 22:
            CheckShaderLibrary(CommandText(input));
            break;
        case 26:
            clientTargetByte_ = 1;
            break;
        case 27:
            clientTargetByte_ = 0;
            break;
        case 28:
            if (scene) {
                SceneManager::WriteResourceReport();
                SceneManager::WriteInstanceReport();
            }
            break;
        case 29:
            if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager))
                materials->Purge();
            break;
        case 50:
            if (FrameStats* stats = Globals::Find(&Globals::GetFrameStats))
                LogTyped(LOG_ENGINE_INIT, "SmoothSkinNormal耗时：%u,调用次数:%u",
                         stats->words[FRAME_SMOOTH_SKIN_NORMAL_TIME],
                         stats->words[FRAME_SMOOTH_SKIN_NORMAL_CALLS]);
            break;
        case 100086:
            mirrorSecondCamera_ = mirrorSecondCamera_ ? 0 : 1;
            break;
        default:
            // Id 2 hands out an action's interface, which actions do not have yet. It and unlisted
            // ids do nothing.
            break;
    }
}

bool IRenderImpl::AreClipPlanesOn() {
    return g_clipPlanesOn != 0;
}

}  // namespace Zel
