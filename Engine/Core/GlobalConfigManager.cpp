#include "Core/GlobalConfigManager.h"

#include "Core/CommandSystem.h"
#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Entity/Texture/TextureLoadFlags.h"

namespace Zel {
namespace {

struct SwitchDefault {
    std::int32_t value;
    const char* description;
};

// The built-in value and description of every integer switch, by index.
constexpr SwitchDefault kDefaults[GlobalConfigManager::kSwitchCount] = {
    {1, "是否使用动作库"},
    {1, "是否使用布料"},
    {1, "是否将三角形带转换为三角形列表"},
    {1, "是否优先读二进制文件"},
    {0, "是否使用交换链"},
    {1, "是否优先读取dds文件"},
    {1, "是否将纹理压缩为dds格式"},
    {0, "同步加载是否强制走多线程流程"},
    {0, "是否将LOD资源单独存为文件"},
    {1, "是否绘制场景"},
    {1, "是否绘制布料"},
    {1, "是否绘制index"},
    {1, "是否绘制粒子"},
    {1, "是否绘制特效"},
    {1, "是否执行update"},
    {1, "是否绘制角色"},
    {1, "是否绘制透明物体"},
    {1, "是否绘制不透明物体"},
    {1, "是否绘制模型"},
    {1, "是否绘制阴影"},
    {0, "加载时是否用默认材质替换文件中指定的材质"},
    {0, "是否使用默认纹理"},
    {1, "是否绘制线段"},
    {0, "是否在屏幕上绘制引擎信息"},
    {1, "是否更新场景"},
    {1, "是否更新模型"},
    {1, "是否更新角色"},
    {1, "是否更新动作"},
    {1, "是否更新特效"},
    {1, "是否更新轨迹动画"},
    {1, "是否更新骨骼矩阵"},
    {1, "是否更新粒子"},
    {0, "加载时是否使用素体资源"},
    {0, "加载时是否不加载角色布料"},
    {0, "加载时是否使用默认chr"},
    {0, "加载时是否使用默认dml"},
    {0, "加载时是否使用默认level"},
    {0, "加载时是否使用默认角色动作"},
    {0, "加载时是否不加载chr动作"},
    {0, "加载时是否使用默认纹理"},
    {0, "加载时是否使用默认材质"},
    {0, "加载时是否使用默认特效"},
    {0, "加载时是否使用默认粒子"},
    {0, "加载时特效是否加载默认chr"},
    {0, "加载时特效是否加载默认纹理"},
    {0, "创建纹理时是否加载默认纹理"},
    {0, "是否开启多线程"},
    {0, "是否加载空场景(场景对象可用但不加载mesh)"},
    {1, "是否使用SSE进行矩阵计算优化"},
    {0, "是否不读取动作"},
    {0, "是否不读取场景"},
    {0, "是否不创建角色"},
    {0, "是否不创建模型"},
    {0, "是否不创建chr"},
    {0, "是否不创建dml"},
    {0, "是否不创建特效"},
    {0, "是否不创建角色动作"},
    {0, "是否不创建场景材质"},
    {0, "是否不创建场景mesh"},
    {1, "是否响应打开shader库操作"},
    {1, "最大预渲染帧数"},
    {0, "是否强制以DX7模式运行"},
    {1, "创建设备时是否优先使用D3D9Ex"},
    {0, ""},
    {1, "是否响应移动角色位置的请求"},
    {0, "是否使用控制台窗口输出日志"},
    {0, "是否强制使用默认纹理"},
    {1, "是否将.fx编译为.fxo、存盘并优先读取.fxo"},
    {1, "是否从磁盘载入fx或者fxo"},
    {30, "z排序和物理更新的最长时间(毫秒)"},
    {100, ""},
    {1, "是否裁剪特效"},
    {1, "是否裁剪场景(八叉树裁剪场景三角形)"},
    {1, "是否用相机裁剪实体"},
    {1, "是否计算蒙皮CPU+GPU"},
    {1, "是否向GPU提交shader常量"},
    {1, "是否执行绘制调用"},
    {1, "是否执行渲染状态设置"},
    {0, "是否将所有透明物体当作不透明物体(不做透明排序,不设透明渲染状态)"},
    {1, "是否进行全局物理计算"},
    {1, "换装时是否拼接角色纹理"},
    {0, "二进制转换时是否将二进制文件直接写入包中"},
    {0, "是否弹出模态错误对话框"},
    {1, "是否将命令历史写入文件,用法:write command fn(fn为文件路径)"},
    {1, "是否从文件读取命令,用法:open command fn(fn为文件路径)"},
    {0, "特效模块初始化时是否使用IRenderImpl_Eff"},
};

constexpr const char* kFloatDescription = "新角色播放角色动作时x、y位移的缩放比例";
constexpr const char* kBlockedDescriptions[GlobalConfigManager::kBlockedListCount] = {
    "是否屏蔽所列目录中的特效文件",
    "是否屏蔽所列目录中的chr文件",
};

const std::string kEmpty;

// Lower case with backslashes, the form in which lists and paths are compared.
std::string ToListForm(const char* text) {
    std::string s = text ? text : "";
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c == '/')
            c = '\\';
    }
    return s;
}

}  // namespace

GlobalConfigManager::GlobalConfigManager() {
    SetDefaults();
}

void GlobalConfigManager::SetValue(std::uint32_t index, std::int32_t value) {
    if (index < kSwitchCount)
        values_[index] = value;
}

std::int32_t GlobalConfigManager::GetValue(std::uint32_t index) const {
    return index < kSwitchCount ? values_[index] : 0;
}

void GlobalConfigManager::SetFloatValue(std::uint32_t index, float value) {
    if (index < kFloatCount)
        floatValues_[index] = value;
}

float GlobalConfigManager::GetFloatValue(std::uint32_t index) const {
    return index < kFloatCount ? floatValues_[index] : 0.0f;
}

const std::string& GlobalConfigManager::GetSwitchDescription(std::uint32_t index) const {
    return index < kSwitchCount ? descriptions_[index] : kEmpty;
}

const std::string& GlobalConfigManager::GetFloatDescription(std::uint32_t index) const {
    return index < kFloatCount ? floatDescriptions_[index] : kEmpty;
}

const std::string& GlobalConfigManager::GetBlockedDirsDescription(std::uint32_t list) const {
    return list < kBlockedListCount ? blockedDescriptions_[list] : kEmpty;
}

void GlobalConfigManager::SetBlockedDirs(std::uint32_t list, const char* text) {
    if (list < kBlockedListCount)
        blockedDirs_[list] = ToListForm(text);
}

const std::string& GlobalConfigManager::GetBlockedDirs(std::uint32_t list) const {
    return list < kBlockedListCount ? blockedDirs_[list] : kEmpty;
}

bool GlobalConfigManager::HasBlockedDirs(std::uint32_t list) const {
    return list < kBlockedListCount && !blockedDirs_[list].empty();
}

bool GlobalConfigManager::IsPathBlocked(std::uint32_t list, const char* path) const {
    if (list >= kBlockedListCount)
        return false;
    const std::string prepared = ToListForm(path);
    const std::string& entries = blockedDirs_[list];
    std::size_t start = 0;
    while (start < entries.size()) {
        std::size_t end = entries.find(';', start);
        if (end == std::string::npos)
            end = entries.size();
        // An empty entry (";;", a leading ';') would match every path: it names no directory.
        if (end > start &&
            prepared.find(entries.data() + start, 0, end - start) != std::string::npos)
            return true;
        start = end + 1;
    }
    return false;
}

void GlobalConfigManager::SetDefaults() {
    configLoaded_ = false;
    for (std::uint32_t i = 0; i < kBlockedListCount; ++i) {
        blockedDirs_[i].clear();
        blockedDescriptions_[i] = kBlockedDescriptions[i];
    }
    floatValues_[0] = 1.0f;
    floatDescriptions_[0] = kFloatDescription;
    for (std::uint32_t i = 0; i < kSwitchCount; ++i) {
        values_[i] = kDefaults[i].value;
        descriptions_[i] = kDefaults[i].description;
    }
    SetTextureLoadFlags(GetTextureLoadFlags() | TEXTURE_LOAD_IMMEDIATE);
    if (CommandSystem* commands = Globals::Find(&Globals::GetCommandSystem))
        commands->RegisterDefaultCommands();
}

bool GlobalConfigManager::Reload(const char* fileName) {
    SetDefaults();
    CommandSystem* commands = Globals::Find(&Globals::GetCommandSystem);
    configLoaded_ = commands && commands->ExecuteCommandFile(fileName);
    if (!configLoaded_)
        ReportErrorLastError("加载EngineConfig失败!");
    return configLoaded_;
}

bool IsGlobalSwitchOn(std::uint32_t index) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config && config->GetValue(index) == 1;
}

}  // namespace Zel
