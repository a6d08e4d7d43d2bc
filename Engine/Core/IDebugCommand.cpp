#include "Core/IDebugCommand.h"

#include <cstdio>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"

namespace Zel {
namespace {

constexpr std::size_t kLineBufferSize = 512;

GlobalConfigManager* Switches() {
    return Globals::Find(&Globals::GetConfigManager);
}

template <class... Args>
std::string Line(const char* format, Args... args) {
    char buffer[kLineBufferSize];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

}  // namespace

int IDebugCommand::Execute(const std::string& argumentText) {
    return Apply(ParseCommandArgs(argumentText));
}

void IDebugCommand::Describe(std::vector<std::string>& lines) const {
    const GlobalConfigManager* config = Switches();
    if (!config)
        return;
    for (const auto& [name, index] : switchVariables_)
        lines.push_back(
            Line("  %s (on/off) :%s", name.c_str(), config->GetSwitchDescription(index).c_str()));
    for (const auto& [name, index] : floatVariables_)
        lines.push_back(Line("  %s (float value) :%s", name.c_str(),
                             config->GetFloatDescription(index).c_str()));
    for (const auto& [name, index] : textVariables_)
        lines.push_back(Line("  %s (Zel::ZelString value) :%s", name.c_str(),
                             config->GetBlockedDirsDescription(index).c_str()));
}

void IDebugCommand::ListStatus(std::vector<std::string>& lines) const {
    const GlobalConfigManager* config = Switches();
    if (!config)
        return;
    for (const auto& [name, index] : switchVariables_)
        lines.push_back(Line("  %s ,type=int,value= %d", name.c_str(), config->GetValue(index)));
    for (const auto& [name, index] : floatVariables_)
        lines.push_back(Line("  %s ,type=float,value= %f", name.c_str(),
                             static_cast<double>(config->GetFloatValue(index))));
    for (const auto& [name, index] : textVariables_)
        lines.push_back(
            Line("  %s ,type=int,value= %d", name.c_str(), config->HasBlockedDirs(index) ? 1 : 0));
}

int IDebugCommand::Apply(const CommandArgs& args) {
    GlobalConfigManager* config = Switches();
    if (auto it = switchVariables_.find(args.variable); it != switchVariables_.end()) {
        if (config)
            config->SetValue(it->second, args.on == 1 ? 1 : 0);
        return COMMAND_OK;
    }
    if (auto it = floatVariables_.find(args.variable); it != floatVariables_.end()) {
        if (config)
            config->SetFloatValue(it->second, args.floatValue);
        return COMMAND_OK;
    }
    if (auto it = textVariables_.find(args.variable); it != textVariables_.end()) {
        if (config)
            config->SetBlockedDirs(it->second, args.valueText.c_str());
        return COMMAND_OK;
    }
    return COMMAND_BAD_PARAMETERS;
}

void IDebugCommand::AddSwitchVariable(const char* name, std::uint32_t switchIndex) {
    switchVariables_[name] = switchIndex;
}

void IDebugCommand::AddTextVariable(const char* name, std::uint32_t listIndex) {
    textVariables_[name] = listIndex;
}

}  // namespace Zel
