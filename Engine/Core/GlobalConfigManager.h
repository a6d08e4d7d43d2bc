// The process-wide switches every subsystem consults (Globals::GetConfigManager): 86 integer
// switches by index, one float switch and two blocked-directory lists, each with a built-in
// default and a description that the command help prints. They change through the command script
// "EngineConfig.txt" (Reload, at render-window creation), the debug console's commands and the
// host's IGlobalConfig.
//
// Threads: written on the host's thread, read from any thread; every value is one aligned word.
// An index out of range writes nothing and reads 0 (or an empty text).
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

class GlobalConfigManager {
public:
    static constexpr std::uint32_t kSwitchCount = 86;
    static constexpr std::uint32_t kFloatCount = 1;
    static constexpr std::uint32_t kBlockedListCount = 2;  // 0 effect dirs, 1 chr dirs
    // The switches read where no manager may exist (logging, error reports).
    static constexpr std::uint32_t kUseConsoleSwitch = 65;
    static constexpr std::uint32_t kShowErrorDialogSwitch = 82;

    // Takes the defaults (SetDefaults).
    GlobalConfigManager();
    virtual ~GlobalConfigManager() = default;
    GlobalConfigManager(const GlobalConfigManager&) = delete;
    GlobalConfigManager& operator=(const GlobalConfigManager&) = delete;

    void SetValue(std::uint32_t index, std::int32_t value);
    std::int32_t GetValue(std::uint32_t index) const;
    void SetFloatValue(std::uint32_t index, float value);
    float GetFloatValue(std::uint32_t index) const;
    const std::string& GetSwitchDescription(std::uint32_t index) const;
    const std::string& GetFloatDescription(std::uint32_t index) const;
    const std::string& GetBlockedDirsDescription(std::uint32_t list) const;
    // Stores the text lower-cased, with every "/" turned into "\", as list i (entries separated by
    // ';'); null stores an empty list.
    void SetBlockedDirs(std::uint32_t list, const char* text);
    const std::string& GetBlockedDirs(std::uint32_t list) const;
    bool HasBlockedDirs(std::uint32_t list) const;
    // True when the path, lower-cased with backslashes, contains a non-empty entry of list i.
    bool IsPathBlocked(std::uint32_t list, const char* path) const;

    // Every default, description and empty list; sets bit 0 of the texture load flags and
    // rebuilds the command table of the command system.
    void SetDefaults();
    // Defaults, then the file as a command script (CommandSystem::ExecuteCommandFile). Keeps and
    // answers whether every line ran; a failure is reported as an error with the system's last
    // error code.
    bool Reload(const char* fileName);
    bool IsConfigLoaded() const { return configLoaded_; }

    // Named switches: an on/off reader answers whether the value is exactly 1.
    void SetUseActionLib(bool on) { SetFlag(0, on); }
    bool UseActionLib() const { return IsOn(0); }
    void SetUseCloth(bool on) { SetFlag(1, on); }
    bool UseCloth() const { return IsOn(1); }
    void SetStripToList(bool on) { SetFlag(2, on); }
    bool StripToList() const { return IsOn(2); }
    void SetPreferBinaryFiles(bool on) { SetFlag(3, on); }
    bool PreferBinaryFiles() const { return IsOn(3); }
    void SetUseSwapChain(bool on) { SetFlag(4, on); }
    void SetPreferDDS(bool on) { SetFlag(5, on); }
    bool PreferDDS() const { return IsOn(5); }
    void SetCompressToDDS(bool on) { SetFlag(6, on); }
    bool CompressToDDS() const { return IsOn(6); }
    void SetSaveLodSeparately(bool on) { SetFlag(8, on); }
    bool RunUpdate() const { return IsOn(14); }
    bool UseSSEMatrix() const { return IsOn(48); }
    bool NoActionLoad() const { return IsOn(49); }
    bool NoActorCreate() const { return IsOn(51); }
    bool NoModelCreate() const { return IsOn(52); }
    bool RespondOpenShaderLib() const { return IsOn(59); }
    std::int32_t GetMaxPrerenderedFrames() const { return GetValue(60); }
    void SetForceDX7(bool on) { SetFlag(61, on); }
    bool ForceDX7() const { return IsOn(61); }
    void SetPreferD3D9Ex(bool on) { SetFlag(62, on); }
    bool PreferD3D9Ex() const { return IsOn(62); }
    bool RespondActorMove() const { return IsOn(64); }
    bool UseConsole() const { return IsOn(65); }
    bool ForceDefaultTexture() const { return IsOn(66); }
    bool CompileFxToFxo() const { return IsOn(67); }
    bool LoadFxFromDisk() const { return IsOn(68); }
    std::int32_t GetActorLimit() const { return GetValue(70); }
    bool ShowErrorDialog() const { return IsOn(82); }
    void SetActorMoveScale(float scale) { SetFloatValue(0, scale); }
    float GetActorMoveScale() const { return GetFloatValue(0); }

private:
    bool IsOn(std::uint32_t index) const { return GetValue(index) == 1; }
    void SetFlag(std::uint32_t index, bool on) { SetValue(index, on ? 1 : 0); }

    bool configLoaded_ = false;
    std::int32_t values_[kSwitchCount] = {};
    std::string descriptions_[kSwitchCount];
    float floatValues_[kFloatCount] = {};
    std::string floatDescriptions_[kFloatCount];
    std::string blockedDirs_[kBlockedListCount];
    std::string blockedDescriptions_[kBlockedListCount];
};

// Whether switch i is exactly 1 in the switch manager of Globals; false while there is none
// (before Init, after Shutdown). For code that may run at any time, such as logging.
bool IsGlobalSwitchOn(std::uint32_t index);

}  // namespace Zel
