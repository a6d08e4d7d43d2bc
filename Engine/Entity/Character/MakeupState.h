// Make-up: up to twelve layers (eyes, brows, lashes, blusher, mouth ...) painted onto a copy of
// an actor's face image. A process-wide configuration per sex lists each layer's placement, the
// styles (layer images) the host may choose and the colours it may apply; each actor with the
// face-bone figure owns a MakeupState holding the host's choice per layer and a work image of the
// face's size, which takes the face's place in the spliced body texture once composed.
//
// Threads: the host thread (or a loading task in lock-step with it).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Zel {

class Actor;
class Image;

// Layer ids 0-12 (5 has no name); 13 names no layer and asks the actor to compose.
inline constexpr std::int32_t kMakeupLayerCount = 13;
inline constexpr std::int32_t kMakeupCompose = 13;
inline constexpr std::int32_t kMakeupEyelash = 8;

struct MakeupLayer {
    std::int32_t id = 0;
    std::uint8_t dependSkin = 0;
    std::uint8_t noColour = 0;
    std::uint8_t colourMap = 0;
    float x = 0.0f, y = 0.0f, w = 0.0f, h = 0.0f;  // only x places the layer
};

struct MakeupTex {
    std::int32_t layerId = 0;
    std::int32_t styleId = 0;
    std::string name;
};

struct MakeupColor {
    std::int32_t layerId = 0;
    std::int32_t colourId = 0;
    float curve = 0.5f, r = 1.0f, g = 1.0f, b = 1.0f;
    float inputMin = 0.0f, inputMax = 1.0f, outputMin = 0.0f, outputMax = 1.0f;
};

// One sex's configuration, in file order.
struct MakeupConfig {
    std::vector<MakeupLayer> layers;
    std::vector<MakeupTex> styles;
    std::vector<MakeupColor> colours;

    const MakeupLayer* FindLayer(std::int32_t id) const;
    const MakeupTex* FindStyle(std::int32_t layer, std::int32_t style) const;
    const MakeupColor* FindColour(std::int32_t layer, std::int32_t colour) const;
};

class MakeupState {
public:
    // The layer id of a name; 13 for any other name.
    static std::int32_t LayerIdOf(std::string_view name);
    // Reads one make-up file into the sex's lists (replacing them; null path: the sex's default
    // file). A successful read counts as the sex's configuration, so the defaults are not read
    // over it later. Warnings for a file that cannot be read or lacks the "makeups" root.
    static bool LoadMakeupConfig(bool male, const char* path = nullptr);
    static const MakeupConfig& GetConfig(bool male);
    // Forgets both configurations and their loaded marks.
    static void ResetConfiguration();

    // Sex from the actor; reads the default files of the sexes not loaded yet; takes the face's
    // base image and makes the work image of its size (without a base image it reports an error
    // and has no work image); layers 4, 1, 2, 3 get style 0, colour 0.
    explicit MakeupState(Actor& actor);
    ~MakeupState();
    MakeupState(const MakeupState&) = delete;
    MakeupState& operator=(const MakeupState&) = delete;

    // Stores (style, colour) for the layer when the layer, the style and the colour (any colour
    // on a layer without colours) have records; false, changing nothing, otherwise.
    bool Set(std::int32_t layer, std::int32_t style, std::int32_t colour);
    const std::map<std::int32_t, std::pair<std::int32_t, std::int32_t>>& GetSettings() const {
        return settings_;
    }
    // The work image rebuilt from the face's base image with every chosen layer blended on in
    // id order; null (reported) when the face or its base image is missing or the state has no
    // work image.
    Image* Compose(Actor& actor);
    Image* GetWorkImage() const { return work_.get(); }

    // The short image name of a layer's style and colour: the style's name, "_" and the colour id
    // in two or more digits for colour-map layers, "_" and the skin index for skin-bound layers.
    std::string GetLayerImageName(const MakeupLayer& layer, const MakeupTex& style,
                                  std::int32_t colour, std::int32_t skinIndex) const;
    // The actor's skin index: the last character of slot 0's name before its four-character
    // extension, less '/' (so the digit 0 gives 1); 1 for an empty name.
    static std::int32_t SkinIndexOf(const std::string& slot0Name);

    // Lays a source image (ARGB words) over the destination (width x height) from index
    // trunc(x x width) on, row r at that index plus r x width: pixels with alpha 0 are left out,
    // the others blend their colour by their alpha; the result alpha is 1 except on the eyelash
    // layer, which keeps the source alpha. Pixels that would land past the row's end, past the
    // last row or before the first pixel are skipped.
    static void Blend(std::uint32_t* destination, std::uint32_t width, std::uint32_t height,
                      const std::uint32_t* source, std::uint32_t sourceWidth,
                      std::uint32_t sourceHeight, float x, bool eyelash);
    // The colour curve of a colour record on every pixel with non-zero alpha (alpha unchanged).
    // An empty input or output range reads as 0.
    static void TransformColours(std::uint32_t* pixels, std::size_t count,
                                 const MakeupColor& colour);

private:
    // The face part's base image (its current image, read again when unloaded); reported and
    // null when there is none.
    static Image* FaceBaseImage(Actor& actor);
    // The layer image loaded through the image manager; reported and null when missing.
    Image* LoadLayerImage(const std::string& name);
    void ReleaseLayerImage(const std::string& name);

    bool male_ = false;
    Image* base_ = nullptr;  // the face part's image (held by the part)
    std::unique_ptr<Image> work_;
    std::map<std::int32_t, std::pair<std::int32_t, std::int32_t>> settings_;
};

}  // namespace Zel
