// The manager of the host's text boxes and their fonts. As the owner of device objects it is
// registered with the render-resource registry of Globals from its construction to its
// destruction; on device loss and reset it calls each box's callbacks, so the fonts drop and
// rebuild their device objects while the boxes keep their text, rectangle and colour.
// Host thread.
#pragma once

#include <vector>

#include "Render/RenderResourceManager.h"

namespace Zel {

class ZelTextBoxManager : public RenderResourceManager {
public:
    using Callback = void (*)(void* box);
    struct Record {
        void* box = nullptr;
        Callback lost = nullptr;
        Callback reset = nullptr;
        Callback third = nullptr;
    };

    // Built by Globals::Init, host thread.
    ZelTextBoxManager();
    ~ZelTextBoxManager() override;

    void OnLostDevice() override;
    void OnResetDevice() override;
    void PurgeUnused() override {}
    // Calls every record's third callback that is set.
    void RunThirdCallbacks();

    // Appends the record; false for a null box or one already registered.
    bool Register(const Record& record);
    // Removes the box's record, keeping the order of the others; false when it has none.
    bool Unregister(const void* box);
    bool IsRegistered(const void* box) const;
    std::size_t GetCount() const { return records_.size(); }

private:
    void Run(Callback Record::*which);

    std::vector<Record> records_;
};

}  // namespace Zel
