// The manager of action resources. It is registered under the type name "ActionResource" with the
// group registry of Globals from its construction to its destruction. Action files are read by
// the reader registered for their extension (compressed ".ac6" files from the start; other
// formats are added by their readers).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "Core/CResourceManager.h"

namespace Zel {

class Action;
class ActionResource;

class ActionManager : public CResourceManager {
public:
    // Fills the resource from the file of the path; answers success.
    using Reader = std::function<bool(ActionResource& resource, const std::string& path)>;

    // Built by Globals::Init, host thread.
    ActionManager();
    ~ActionManager() override;

    // An empty ActionResource of the name.
    CResource* CreateImpl(std::string_view name, std::string_view source) override;
    ZEL_CLASS_ID(ActionManager)

    // Registers the reader of the files whose names end in the extension (compared without
    // case, without the dot); an empty reader removes it.
    void SetReader(const std::string& extension, Reader reader);
    // The reader for the path's extension over the resource, holding the manager's lock; false
    // (logged) when no reader takes the extension.
    bool ReadActionFile(ActionResource& resource, const std::string& path);

    // Binds the action to the skeleton and the resource of the names: the skeleton through the
    // skeleton manager, the resource from this manager, read (with the skeleton bound first)
    // when it is new. False, leaving the action unbound, when the skeleton or the resource
    // cannot be had; a resource whose read failed is removed again. A skeleton without bones
    // while switch 49 (no action load) is on binds the resource without bone states.
    bool LoadActionResource(Action& action, std::string_view skeletonName,
                            std::string_view resourceName);

private:
    std::map<std::string, Reader> readers_;
};

}  // namespace Zel
