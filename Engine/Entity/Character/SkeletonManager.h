// The manager of skeleton resources (it answers the class id of CResourceManager). It is
// registered under the type name "SkeletonResource" with the group registry of Globals from its
// construction to its destruction, and makes empty skeletons that its two loaders fill: one for
// figure files by name, one for skeletons read from an open stream. Until a loader is installed,
// loading through it fails.
//
// Threads: the host's thread or a loading task (the task lock-step keeps them apart); the maps are
// guarded by the locks of CResourceManager.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Core/CResourceManager.h"

namespace Zel {

class IZelStream;
class Skeleton;

class SkeletonManager : public CResourceManager {
public:
    // Fill the skeleton from the file of the path, or from the stream; answer success. A loader
    // that fails may leave bones in the table: the manager discards the skeleton.
    using FileLoader = std::function<bool(Skeleton& skeleton, const std::string& path)>;
    using StreamLoader = std::function<bool(Skeleton& skeleton, IZelStream* stream)>;

    // Built by Globals::Init, host thread. Streams are read as skeleton chunks, files as ASE
    // scenes.
    SkeletonManager();
    // Collects and purges, then the base destructor removes whatever is left.
    ~SkeletonManager() override;

    // An empty skeleton of the name.
    CResource* CreateImpl(std::string_view name, std::string_view source) override;

    void SetFileLoader(FileLoader loader) { fileLoader_ = std::move(loader); }
    void SetStreamLoader(StreamLoader loader) { streamLoader_ = std::move(loader); }
    // The installed loaders over one skeleton; false without one.
    bool LoadFromFile(Skeleton& skeleton, const std::string& path);
    bool LoadFromStream(Skeleton& skeleton, IZelStream* stream);

    // The skeleton of the name with one more reference for the caller, loaded through the file
    // loader when the manager does not hold it yet. Null when it cannot be loaded; the failed
    // skeleton is removed and destroyed.
    Skeleton* GetOrLoad(std::string_view name);
    // The same with the stream loader. When the skeleton is held already, the stream's skeleton is
    // still read (and dropped), so the stream stands after it; null when that read fails.
    Skeleton* GetOrLoadFromStream(std::string_view name, IZelStream* stream);

    // The figure files: each answers the skeleton of that name with one more reference, or null
    // when the manager does not hold it (nothing is loaded).
    Skeleton* DefaultBoyFigFile() { return Held("boy_fig.fig"); }
    Skeleton* DefaultGirlFigFile() { return Held("girl_fig.fig"); }
    Skeleton* DefaultNewBoyFigFile() { return Held("new_boy_fig.fig"); }
    Skeleton* DefaultNewGirlFigFile() { return Held("new_girl_fig.fig"); }
    // "boy_NF_<variant>_fig.fig"; without a variant DefaultBoyFigFile.
    Skeleton* VariantBoyFigFile(std::optional<char> variant);
    // "girl_NF_<variant>_fig.fig"; without a variant DefaultGirlFigFile.
    Skeleton* VariantGirlFigFile(std::optional<char> variant);
    // The boy's figure when male, else the girl's.
    Skeleton* DefaultFigFile(bool male) {
        return male ? DefaultBoyFigFile() : DefaultGirlFigFile();
    }

    // An actor's skeleton field: takes the variant figure of the sex, then gives back the
    // skeleton held before (null stays null when the figure is not held).
    void AssignActorSkeleton(Skeleton*& held, std::optional<char> variant, bool male);
    // The same with the new figures.
    void AssignNewActorSkeleton(Skeleton*& held, bool male);

protected:
    // The skeleton's own shared action set goes with it (ActionManager::UnloadActionLib).
    void OnLastSharedRelease(CResource* resource) override;

private:
    Skeleton* Held(std::string_view name);
    // Loads a new skeleton of the name with the loader step; keeps it with one more reference
    // when the step succeeds, else removes it.
    Skeleton* GetOrLoadWith(std::string_view name, const std::function<void(Skeleton&)>& load);
    void Assign(Skeleton*& held, Skeleton* taken);

    FileLoader fileLoader_;
    StreamLoader streamLoader_;
};

}  // namespace Zel
