#include "Entity/Character/MakeupState.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Core/DebugHelperImpl.h"
#include "Core/Globals.h"
#include "Core/PathUtils.h"
#include "Core/TiXmlDocument.h"
#include "Core/XmlElements.h"
#include "Entity/Character/Actor.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Image/DecodedImage.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Image/PixelFormat.h"

namespace Zel {

namespace {

constexpr const char* kMakeupMaleFolder = "..\\resources\\media\\shaders\\role\\makeup\\male\\";
constexpr const char* kMakeupFemaleFolder = "..\\resources\\media\\shaders\\role\\makeup\\female\\";

// Names by id; id 5 has none.
const char* const kLayerNames[kMakeupLayerCount] = {
    "EYESTYLE", "PUPIL_L", "PUPIL_R", "PUPILLIGHT", "EYEBROW", nullptr,      "EYESHADOW",
    "EYELINE",  "EYELASH", "BLUSHER", "MUSTACHE",   "MOUTH",   "FACE_CRAYON"};

MakeupConfig& MakeupConfigOf(bool male) {
    static MakeupConfig configs[2];
    return configs[male ? 1 : 0];
}

bool& MakeupLoaded(bool male) {
    static bool loaded[2] = {false, false};
    return loaded[male ? 1 : 0];
}

std::int32_t& WorkImageCounter() {
    static std::int32_t counter = 0;
    return counter;
}

void MakeupWarn(const char* format, const std::string& argument) {
    if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
        reporter->Warning(format, argument.c_str());
}

void MakeupReport(const char* format, const std::string& argument = std::string()) {
    if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
        reporter->Error(format, argument.c_str());
}

// The value children a record needs; null when one is missing.
bool ReadMakeupValues(const XmlNode* node, const char* const* names, float* const* out, int count) {
    for (int i = 0; i < count; ++i)
        if (!XmlChildElementByName(node, names[i]))
            return false;
    for (int i = 0; i < count; ++i)
        *out[i] =
            static_cast<float>(std::atof(XmlElementText(XmlChildElementByName(node, names[i]))));
    return true;
}

bool ReadMakeupConfig(const std::string& path, MakeupConfig& config) {
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str())) {
        MakeupWarn("打开妆容文件失败! %s", path);
        return false;
    }
    const XmlNode* root = document.first_node("makeups");
    if (!root) {
        MakeupWarn("妆容文件格式错误! 缺乏根makeups标记%s", path);
        return false;
    }
    // A second read replaces the lists (appending would leave the first read's layers in front).
    config = MakeupConfig{};
    for (const XmlNode* node = XmlChildElementByName(root, "makeup"); node;
         node = XmlNextSiblingElementByName(node, "makeup")) {
        const char* idName = XmlAttributeValue(node, "id");
        const std::int32_t id = idName ? MakeupState::LayerIdOf(idName) : kMakeupCompose;
        if (id == kMakeupCompose)
            continue;
        MakeupLayer layer;
        layer.id = id;
        layer.dependSkin = XmlChildElementByName(node, "depend_skin") ? 1 : 0;
        layer.noColour = XmlChildElementByName(node, "no_color") ? 1 : 0;
        layer.colourMap = XmlChildElementByName(node, "color_map") ? 1 : 0;
        static const char* const kRect[] = {"x", "y", "w", "h"};
        float* const rectOut[] = {&layer.x, &layer.y, &layer.w, &layer.h};
        const XmlNode* rect = XmlChildElementByName(node, "rect");
        if (!rect || !ReadMakeupValues(rect, kRect, rectOut, 4)) {
            MakeupWarn("妆容文件rect不完整, 跳过 %s", idName);
            continue;
        }
        config.layers.push_back(layer);
        for (const XmlNode* tex = XmlChildElementByName(node, "tex"); tex;
             tex = XmlNextSiblingElementByName(tex, "tex")) {
            const char* style = XmlAttributeValue(tex, "styleid");
            if (style)
                config.styles.push_back({id, std::atoi(style), XmlElementText(tex)});
        }
        if (layer.noColour)
            continue;
        for (const XmlNode* colour = XmlChildElementByName(node, "color"); colour;
             colour = XmlNextSiblingElementByName(colour, "color")) {
            const char* colourId = XmlAttributeValue(colour, "id");
            if (!colourId)
                continue;
            MakeupColor record;
            record.layerId = id;
            record.colourId = std::atoi(colourId);
            if (layer.colourMap) {
                record.r = record.g = record.b = 0.0f;
            } else {
                static const char* const kValues[] = {
                    "r", "g", "b", "input_min", "input_max", "output_min", "output_max", "curve"};
                float* const valueOut[] = {&record.r,         &record.g,        &record.b,
                                           &record.inputMin,  &record.inputMax, &record.outputMin,
                                           &record.outputMax, &record.curve};
                if (!ReadMakeupValues(colour, kValues, valueOut, 8)) {
                    MakeupWarn("妆容文件color不完整, 跳过 %s", colourId);
                    continue;
                }
            }
            config.colours.push_back(record);
        }
    }
    return true;
}

float UnpackChannel(std::uint32_t word, int shift) {
    return float((word >> shift) & 0xFF) / 255.0f;
}

// Truncates to a byte; the small bias keeps a value that went through float arithmetic exactly
// (a byte b as b / 255 x 255) from falling just below b.
std::uint32_t PackChannel(float value) {
    return static_cast<std::uint32_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 1e-3f) & 0xFF;
}

// (value - low) / (high - low); an empty range reads as 0.
float NormaliseRange(float value, float low, float high) {
    return high == low ? 0.0f : (value - low) / (high - low);
}

}  // namespace

const MakeupLayer* MakeupConfig::FindLayer(std::int32_t id) const {
    const auto it = std::find_if(layers.begin(), layers.end(),
                                 [id](const MakeupLayer& l) { return l.id == id; });
    return it == layers.end() ? nullptr : &*it;
}

const MakeupTex* MakeupConfig::FindStyle(std::int32_t layer, std::int32_t style) const {
    const auto it = std::find_if(styles.begin(), styles.end(), [&](const MakeupTex& t) {
        return t.layerId == layer && t.styleId == style;
    });
    return it == styles.end() ? nullptr : &*it;
}

const MakeupColor* MakeupConfig::FindColour(std::int32_t layer, std::int32_t colour) const {
    const auto it = std::find_if(colours.begin(), colours.end(), [&](const MakeupColor& c) {
        return c.layerId == layer && c.colourId == colour;
    });
    return it == colours.end() ? nullptr : &*it;
}

std::int32_t MakeupState::LayerIdOf(std::string_view name) {
    for (std::int32_t id = 0; id < kMakeupLayerCount; ++id)
        if (kLayerNames[id] && name == kLayerNames[id])
            return id;
    return kMakeupCompose;
}

bool MakeupState::LoadMakeupConfig(bool male, const char* path) {
    const std::string file = path ? std::string(path)
                                  : std::string(male ? kMakeupMaleFolder : kMakeupFemaleFolder) +
                                        (male ? "m_makeup.xml" : "f_makeup.xml");
    if (!ReadMakeupConfig(file, MakeupConfigOf(male)))
        return false;
    MakeupLoaded(male) = true;
    return true;
}

const MakeupConfig& MakeupState::GetConfig(bool male) {
    return MakeupConfigOf(male);
}

void MakeupState::ResetConfiguration() {
    for (bool male : {false, true}) {
        MakeupConfigOf(male) = MakeupConfig{};
        MakeupLoaded(male) = false;
    }
}

MakeupState::MakeupState(Actor& actor) : male_(actor.GetSex() != 0) {
    for (bool male : {true, false})
        if (!MakeupLoaded(male))
            LoadMakeupConfig(male);
    base_ = FaceBaseImage(actor);
    const ImageSurface* surface = base_ ? base_->GetFirstSurface() : nullptr;
    if (!surface) {
        MakeupReport("妆容无法获取脸部基础贴图!");
        return;
    }
    const std::string name = MakeIndexedName("makeup", WorkImageCounter()++);
    work_ = std::make_unique<Image>(nullptr, name, "Image", 0);
    DecodedImage pixels;
    pixels.format = PF_A8R8G8B8;
    pixels.width = surface->GetWidth();
    pixels.height = surface->GetHeight();
    pixels.pitch = pixels.width * 4;
    pixels.bytesPerPixel = 4;
    pixels.size = pixels.pitch * pixels.height;
    pixels.data = std::make_unique<std::uint8_t[]>(pixels.size);
    std::memset(pixels.data.get(), 0, pixels.size);
    if (!work_->CreateFromDecoded(pixels, false) || !work_->GetFirstSurface()) {
        work_.reset();
        return;
    }
    // The texture scale level may have shrunk it; the work image must keep the face's size.
    ImageSurface* made = work_->GetFirstSurface();
    if ((made->GetWidth() != pixels.width || made->GetHeight() != pixels.height) &&
        !made->ScaleTo(pixels.width, pixels.height, 0)) {
        work_.reset();
        return;
    }
    work_->MarkLoaded();
    for (std::int32_t layer : {4, 1, 2, 3}) settings_[layer] = {0, 0};
}

MakeupState::~MakeupState() {
    settings_.clear();
}

bool MakeupState::Set(std::int32_t layer, std::int32_t style, std::int32_t colour) {
    const MakeupConfig& config = MakeupConfigOf(male_);
    const MakeupLayer* record = config.FindLayer(layer);
    if (!record || !config.FindStyle(layer, style))
        return false;
    if (!record->noColour && !config.FindColour(layer, colour))
        return false;
    settings_[layer] = {style, colour};
    return true;
}

std::int32_t MakeupState::SkinIndexOf(const std::string& slot0Name) {
    if (slot0Name.size() < 5)
        return 1;
    return slot0Name[slot0Name.size() - 5] - '/';
}

std::string MakeupState::GetLayerImageName(const MakeupLayer& layer, const MakeupTex& style,
                                           std::int32_t colour, std::int32_t skinIndex) const {
    std::string name = style.name;
    if (layer.colourMap)
        name += std::string("_") + (colour < 10 ? "0" : "") + std::to_string(colour);
    if (layer.dependSkin)
        name += "_" + std::to_string(skinIndex);
    return name;
}

void MakeupState::Blend(std::uint32_t* destination, std::uint32_t width, std::uint32_t height,
                        const std::uint32_t* source, std::uint32_t sourceWidth,
                        std::uint32_t sourceHeight, float x, bool eyelash) {
    if (width == 0 || height == 0)
        return;
    const double start = std::trunc(double(x) * double(width));
    if (!std::isfinite(start) || start >= double(width) * height || start < -double(width) * height)
        return;
    const auto first = static_cast<std::int64_t>(start);
    for (std::uint32_t r = 0; r < sourceHeight; ++r)
        for (std::uint32_t c = 0; c < sourceWidth; ++c) {
            const std::int64_t index = first + std::int64_t(r) * width + c;
            // Clipped: a pixel whose column wraps past the row's end or whose row is past the
            // image would paint somewhere else on the face (or outside it).
            const std::int64_t column = first >= 0 ? first % width + c : -1;
            if (index < 0 || column < 0 || column >= std::int64_t(width) ||
                index / width >= std::int64_t(height))
                continue;
            const std::uint32_t s = source[std::size_t(r) * sourceWidth + c];
            if ((s >> 24) == 0)
                continue;
            std::uint32_t& d = destination[index];
            const float a = UnpackChannel(s, 24);
            std::uint32_t out = (eyelash ? PackChannel(a) : 0xFFu) << 24;
            for (int shift : {16, 8, 0})
                out |=
                    PackChannel(a * UnpackChannel(s, shift) + (1.0f - a) * UnpackChannel(d, shift))
                    << shift;
            d = out;
        }
}

void MakeupState::TransformColours(std::uint32_t* pixels, std::size_t count,
                                   const MakeupColor& colour) {
    const float tint[3] = {colour.r, colour.g, colour.b};
    const int shifts[3] = {16, 8, 0};
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t& p = pixels[i];
        if ((p >> 24) == 0)
            continue;
        std::uint32_t out = p & 0xFF000000u;
        for (int k = 0; k < 3; ++k) {
            const float t =
                NormaliseRange(UnpackChannel(p, shifts[k]), colour.inputMin, colour.inputMax);
            const float u = NormaliseRange(t, colour.outputMin, colour.outputMax);
            const float v = tint[k] * u;
            out |= PackChannel(2.0f * colour.curve * v * (1.0f - v) + v * v) << shifts[k];
        }
        p = out;
    }
}

Image* MakeupState::FaceBaseImage(Actor& actor) {
    GeometryBodyPart* face = actor.GetBodyPartGeometry(2);
    if (!face) {
        MakeupReport("Actor 不存在脸部BodyPartEntry");
        return nullptr;
    }
    Image* image = face->FindImage(face->GetCurrentImageName());
    if (!image || !image->GetFirstSurface() || image->GetFirstSurface()->GetDataSize() == 0 ||
        (image->GetFormat() != PF_A8R8G8B8 && image->GetFormat() != PF_X8R8G8B8)) {
        MakeupReport("Actor 无法获取基础脸贴图");
        return nullptr;
    }
    return image;
}

Image* MakeupState::LoadLayerImage(const std::string& name) {
    ImageManager* images = Globals::Find(&Globals::GetImageManager);
    if (!images)
        return nullptr;
    auto* image = static_cast<Image*>(images->Create(name));
    if (!image)
        return nullptr;
    const std::string path =
        std::string(male_ ? kMakeupMaleFolder : kMakeupFemaleFolder) + name + ".png";
    if (!image->IsLoaded())
        image->LoadPreferDds(path);
    const ImageSurface* surface = image->GetFirstSurface();
    if (!image->IsLoaded() || !surface || image->GetFormat() != PF_A8R8G8B8) {
        MakeupReport("%s 妆容贴图不存在", path);
        ReleaseLayerImage(name);
        return nullptr;
    }
    return image;
}

void MakeupState::ReleaseLayerImage(const std::string& name) {
    if (ImageManager* images = Globals::Find(&Globals::GetImageManager))
        images->UnloadByName(name);
}

Image* MakeupState::Compose(Actor& actor) {
    Image* base = FaceBaseImage(actor);
    if (!base)
        return nullptr;
    base_ = base;
    ImageSurface* target = work_ ? work_->GetFirstSurface() : nullptr;
    const ImageSurface* from = base->GetFirstSurface();
    if (!target || target->GetWidth() != from->GetWidth() ||
        target->GetHeight() != from->GetHeight()) {
        MakeupReport("妆容无法获取脸部基础贴图!");
        return nullptr;
    }
    const std::uint32_t width = target->GetWidth(), height = target->GetHeight();
    auto* pixels = reinterpret_cast<std::uint32_t*>(target->GetData());
    std::memcpy(pixels, from->GetData(), std::size_t(width) * height * 4);
    const MakeupConfig& config = MakeupConfigOf(male_);
    const std::int32_t skin = SkinIndexOf(actor.GetBodyPartName(0));
    for (const auto& [id, choice] : settings_) {
        const MakeupLayer* layer = config.FindLayer(id);
        const MakeupTex* style = config.FindStyle(id, choice.first);
        if (!layer || !style)
            continue;
        const std::string name = GetLayerImageName(*layer, *style, choice.second, skin);
        Image* image = LoadLayerImage(name);
        if (!image)
            continue;
        const ImageSurface* s = image->GetFirstSurface();
        const auto* source = reinterpret_cast<const std::uint32_t*>(s->GetData());
        const bool plain = !layer->dependSkin && !layer->colourMap && !layer->noColour;
        const MakeupColor* colour = plain ? config.FindColour(id, choice.second) : nullptr;
        if (colour) {
            std::vector<std::uint32_t> copy(source,
                                            source + std::size_t(s->GetWidth()) * s->GetHeight());
            TransformColours(copy.data(), copy.size(), *colour);
            Blend(pixels, width, height, copy.data(), s->GetWidth(), s->GetHeight(), layer->x,
                  id == kMakeupEyelash);
        } else {
            Blend(pixels, width, height, source, s->GetWidth(), s->GetHeight(), layer->x,
                  id == kMakeupEyelash);
        }
        ReleaseLayerImage(name);
    }
    return work_.get();
}

}  // namespace Zel
