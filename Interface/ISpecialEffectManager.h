// The host's special-effect manager: the host's own object, which the library stores
// (IRender::SetSpecialEffectManager), brackets around the effects it draws, asks to load and
// unload effects on the loading thread, lets append to the instance report, and forwards the
// effect proxies' questions to. The library never creates or deletes it. The operations the
// library calls are abstract; the others keep their place in the operation order and may be left
// as they are.
//
// Threads: Begin, End, CompleteEffect, AppendReport and the proxies' questions run on the host's
// thread; LoadEffect, UnloadEffect and UnloadEffectDeeply run on the loading thread while it holds
// the library's main lock.
#pragma once

#include <cstdint>
#include <cstdio>

namespace ZelI {

class IBillboard;
class IInsList;
class IMaterial;
class IModel;
class IObject;
class IResList;
class IResVisitor;

// What an effect load asks of the library, filled by LoadEffect: the library then loads the named
// material libraries and models and looks the billboards up, and stores each result's interface
// where the entry says. Entry lists end at the first entry whose text is null (materials and
// billboards: whose out pointer is null or which is not in use).
struct EffectLoadRequest {
    static constexpr int kEntries = 256;

    struct MaterialEntry {
        const char* name = nullptr;
        IMaterial** out = nullptr;  // receives the material (one reference taken for the effect)
    };
    struct ModelEntry {
        const char* fileName = nullptr;  // a name containing "nil" gives an empty model
        IModel** out = nullptr;
    };
    struct BillboardEntry {
        IBillboard** out = nullptr;
        const char* name = nullptr;
        std::uint32_t value = 0;  // stored into the billboard found
        std::uint32_t inUse = 0;  // cleared once the entry is served
    };

    // Where the manager stores the effect it creates (the library's slot).
    void** effectOut = nullptr;
    MaterialEntry materials[kEntries] = {};
    const char* materialLibraries[kEntries] = {};
    ModelEntry models[kEntries] = {};
    BillboardEntry billboards[kEntries] = {};
    char effectName[256] = {};  // copied from the request, zero-terminated
};

// What an effect unload asks of the library, filled by UnloadEffect and UnloadEffectDeeply: the
// library releases the interfaces of both release lists and gives one reference back on each
// material of the material list. Each list ends at its first null entry (the release lists: where
// both are null).
struct EffectTaskBatch {
    static constexpr int kEntries = 256;

    void* effect = nullptr;
    IObject* firstRelease[kEntries] = {};
    IMaterial* materials[kEntries] = {};
    IObject* secondRelease[kEntries] = {};
};

class ISpecialEffectManager {
public:
    // Bracket the effects drawn in a frame.
    virtual void Begin() = 0;
    virtual void End() = 0;
    // Creates the effect of request->effectName, stores it at *request->effectOut and fills the
    // request's lists; false (or no effect stored) refuses the load.
    virtual bool LoadEffect(EffectLoadRequest* request) = 0;
    // Fill the batch with what the library must release for batch->effect; the deep form also
    // lets go of what the effect shares with others.
    virtual void UnloadEffect(EffectTaskBatch* batch) = 0;
    virtual void UnloadEffectDeeply(EffectTaskBatch* batch) = 0;
    // The load of the effect has completed on the host's thread, just before the caller receives
    // it.
    virtual void CompleteEffect(void* effect) = 0;

    // Questions of the effect-manager proxy.
    virtual bool ContainsEffect(const void* effect) = 0;
    virtual bool HasEffect(const char* name) = 0;
    // The manager's list of effects; the manager owns it (the proxy copies it).
    virtual IResList* GetEffectResList() = 0;
    virtual std::uint32_t AddCreateListener(void (*listener)(void* effect, std::uint32_t)) = 0;
    virtual void RemoveCreateListener(std::uint32_t index) = 0;
    virtual std::uint32_t AddReleaseListener(void (*listener)(void* effect, std::uint32_t)) = 0;
    virtual void RemoveReleaseListener(std::uint32_t index) = 0;

    // Questions of the effect-factory proxy.
    virtual bool IsInstanceInUse(const void* instance) = 0;
    // The manager's list of effect instances in use (inUse) or free; the manager owns it (the
    // proxy copies it).
    virtual IInsList* GetInstanceList(bool inUse) = 0;
    virtual void EnumerateEffects(IResVisitor* visitor) = 0;
    virtual std::uint32_t AddInstanceListener(std::int32_t list,
                                              void (*listener)(void* instance, std::uint32_t)) = 0;
    virtual void RemoveInstanceListener(std::int32_t list, std::uint32_t index) = 0;
    virtual std::uint32_t AddDestroyListener(void (*listener)(void* instance, std::uint32_t)) = 0;
    virtual void RemoveDestroyListener(std::uint32_t index) = 0;
    virtual std::uint32_t CollectUnusedInstances() = 0;

    // Positions 22 to 33: not called by the library.
    virtual void Reserved22() {}
    virtual void Reserved23() {}
    virtual void Reserved24() {}
    virtual void Reserved25() {}
    virtual void Reserved26() {}
    virtual void Reserved27() {}
    virtual void Reserved28() {}
    virtual void Reserved29() {}
    virtual void Reserved30() {}
    virtual void Reserved31() {}
    virtual void Reserved32() {}
    virtual void Reserved33() {}
    // Appends the manager's own lines to the open instance report; the library closes the file.
    virtual void AppendReport(std::FILE* report) = 0;

protected:
    virtual ~ISpecialEffectManager() = default;
};

}  // namespace ZelI
