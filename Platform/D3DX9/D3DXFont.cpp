// Fonts through FreeType with the Debian DejaVu faces. The text is laid out and rasterised on
// the CPU into one texture (white, coverage in alpha), which is drawn as a single pre-transformed
// quad that modulates the colour, with the device state it touches put back afterwards so a
// caller's state cache stays true.
#include "Platform/D3DX9/ID3DXFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "Platform/D3D9/ComQuery.h"
#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IDirect3DTexture9.h"

namespace {

constexpr const char* kRegularFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kBoldFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr UINT kBoldWeight = 600;
constexpr int kDefaultHeight = 16;
constexpr int kTabStopChars = 8;

int PowerOfTwo(int n) {
    int size = 1;
    while (size < n) size *= 2;
    return size;
}

struct Line {
    std::string text;  // tabs already replaced by their pixel positions (see Layout)
    int width = 0;
};

class D3DXFont final : public ID3DXFont {
public:
    D3DXFont(IDirect3DDevice9* device, FT_Library library, FT_Face face)
        : device_(device), library_(library), face_(face) {
        device_->AddRef();
        lineHeight_ = static_cast<int>(face_->size->metrics.height >> 6);
        ascender_ = static_cast<int>(face_->size->metrics.ascender >> 6);
    }

    HRESULT QueryInterface(REFIID riid, void** out) override {
        return AnswerQuery<ID3DXFont>(this, riid, out, {IID_IUnknown, IID_ID3DXFont});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    INT DrawTextA(ID3DXSprite* sprite, const char* text, INT count, RECT* rect, DWORD format,
                  D3DCOLOR color) override;
    HRESULT OnLostDevice() override {
        DropTexture();
        return D3D_OK;
    }
    // The texture is made again by the next draw.
    HRESULT OnResetDevice() override { return D3D_OK; }

private:
    ~D3DXFont() {
        DropTexture();
        FT_Done_Face(face_);
        FT_Done_FreeType(library_);
        device_->Release();
    }

    int Advance(unsigned char c) {
        if (FT_Load_Char(face_, c, FT_LOAD_DEFAULT) != 0)
            return 0;
        return static_cast<int>(face_->glyph->advance.x >> 6);
    }
    int Measure(const std::string& text, int x) {
        for (unsigned char c : text) x += c == '\t' ? TabAdvance(x) : Advance(c);
        return x;
    }
    int TabAdvance(int x) {
        const int stop = std::max(1, kTabStopChars * Advance(' '));
        return stop - x % stop;
    }
    std::vector<Line> Layout(const std::string& text, int maxWidth, DWORD format);
    bool Rasterise(const std::vector<Line>& lines, int width, int height, DWORD format);
    void DrawQuad(int left, int top, int width, int height, D3DCOLOR color);
    void DropTexture() {
        if (texture_)
            texture_->Release();
        texture_ = nullptr;
        cachedKey_.clear();
    }

    std::atomic<ULONG> refs_{1};
    IDirect3DDevice9* device_;
    FT_Library library_;
    FT_Face face_;
    int lineHeight_ = 0;
    int ascender_ = 0;
    IDirect3DTexture9* texture_ = nullptr;
    std::string cachedKey_;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
};

std::vector<Line> D3DXFont::Layout(const std::string& text, int maxWidth, DWORD format) {
    const bool expandTabs = (format & DT_EXPANDTABS) != 0;
    const bool wordBreak = (format & DT_WORDBREAK) != 0 && (format & DT_SINGLELINE) == 0;
    std::vector<Line> lines;
    std::string source;
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\t' && !expandTabs)
            continue;
        source += (c == '\n' && (format & DT_SINGLELINE)) ? ' ' : c;
    }
    std::size_t start = 0;
    while (start <= source.size()) {
        std::size_t end = source.find('\n', start);
        if (end == std::string::npos)
            end = source.size();
        const std::string paragraph = source.substr(start, end - start);
        Line line;
        std::size_t at = 0;
        while (at < paragraph.size()) {
            // One word with the spaces before it.
            std::size_t wordEnd = at;
            while (wordEnd < paragraph.size() && paragraph[wordEnd] == ' ') ++wordEnd;
            while (wordEnd < paragraph.size() && paragraph[wordEnd] != ' ') ++wordEnd;
            const std::string piece = paragraph.substr(at, wordEnd - at);
            const int width = Measure(piece, line.width);
            if (wordBreak && !line.text.empty() && width > maxWidth) {
                lines.push_back(line);
                line = Line();
                std::size_t first = piece.find_first_not_of(' ');
                const std::string word = first == std::string::npos ? "" : piece.substr(first);
                line.text = word;
                line.width = Measure(word, 0);
            } else {
                line.text += piece;
                line.width = width;
            }
            at = wordEnd;
        }
        lines.push_back(line);
        if (end == source.size())
            break;
        start = end + 1;
    }
    return lines;
}

bool D3DXFont::Rasterise(const std::vector<Line>& lines, int width, int height, DWORD) {
    // Power-of-two sizes: devices without non-power-of-two textures take them too. The glyphs
    // are written into a system-memory texture and copied into a default-pool one, which every
    // device kind (Ex devices have no managed pool) can sample; that one dies with a lost device.
    const int textureWidth = PowerOfTwo(width);
    const int textureHeight = PowerOfTwo(height);
    IDirect3DTexture9* staging = nullptr;
    if (FAILED(device_->CreateTexture(static_cast<UINT>(textureWidth),
                                      static_cast<UINT>(textureHeight), 1, 0, D3DFMT_A8R8G8B8,
                                      D3DPOOL_SYSTEMMEM, &staging, nullptr)))
        return false;
    D3DLOCKED_RECT locked;
    if (FAILED(staging->LockRect(0, &locked, nullptr, 0))) {
        staging->Release();
        return false;
    }
    auto* bits = static_cast<std::uint8_t*>(locked.pBits);
    for (int y = 0; y < textureHeight; ++y)
        std::memset(bits + static_cast<std::ptrdiff_t>(y) * locked.Pitch, 0,
                    static_cast<std::size_t>(textureWidth) * 4);
    int baseline = ascender_;
    for (const Line& line : lines) {
        int pen = 0;
        for (unsigned char c : line.text) {
            if (c == '\t') {
                pen += TabAdvance(pen);
                continue;
            }
            if (FT_Load_Char(face_, c, FT_LOAD_RENDER) != 0)
                continue;
            const FT_GlyphSlot glyph = face_->glyph;
            const FT_Bitmap& bitmap = glyph->bitmap;
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                const int y = baseline - glyph->bitmap_top + static_cast<int>(row);
                if (y < 0 || y >= height)
                    continue;
                for (unsigned column = 0; column < bitmap.width; ++column) {
                    const int x = pen + glyph->bitmap_left + static_cast<int>(column);
                    if (x < 0 || x >= width)
                        continue;
                    const std::uint8_t coverage =
                        bitmap.buffer[static_cast<std::ptrdiff_t>(row) * bitmap.pitch + column];
                    std::uint8_t* texel =
                        bits + static_cast<std::ptrdiff_t>(y) * locked.Pitch + x * 4;
                    texel[0] = texel[1] = texel[2] = 0xFF;
                    texel[3] = std::max(texel[3], coverage);
                }
            }
            pen += static_cast<int>(glyph->advance.x >> 6);
        }
        baseline += lineHeight_;
    }
    staging->UnlockRect(0);
    IDirect3DTexture9* texture = nullptr;
    const bool made = SUCCEEDED(device_->CreateTexture(
                          static_cast<UINT>(textureWidth), static_cast<UINT>(textureHeight), 1, 0,
                          D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr)) &&
                      SUCCEEDED(device_->UpdateTexture(staging, texture));
    staging->Release();
    if (!made) {
        if (texture)
            texture->Release();
        return false;
    }
    texture_ = texture;
    textureWidth_ = textureWidth;
    textureHeight_ = textureHeight;
    return true;
}

void D3DXFont::DrawQuad(int left, int top, int width, int height, D3DCOLOR color) {
    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR color;
        float u, v;
    };
    // Texel centres land on pixel centres.
    const float x0 = static_cast<float>(left) - 0.5f, y0 = static_cast<float>(top) - 0.5f;
    const float x1 = x0 + static_cast<float>(width), y1 = y0 + static_cast<float>(height);
    const float u1 = static_cast<float>(width) / static_cast<float>(textureWidth_);
    const float v1 = static_cast<float>(height) / static_cast<float>(textureHeight_);
    const Vertex quad[4] = {{x0, y0, 0.0f, 1.0f, color, 0.0f, 0.0f},
                            {x1, y0, 0.0f, 1.0f, color, u1, 0.0f},
                            {x0, y1, 0.0f, 1.0f, color, 0.0f, v1},
                            {x1, y1, 0.0f, 1.0f, color, u1, v1}};

    static constexpr D3DRENDERSTATETYPE kRenderStates[] = {
        D3DRS_ZENABLE,         D3DRS_ZWRITEENABLE,     D3DRS_ALPHABLENDENABLE,
        D3DRS_SRCBLEND,        D3DRS_DESTBLEND,        D3DRS_BLENDOP,
        D3DRS_ALPHATESTENABLE, D3DRS_CULLMODE,         D3DRS_LIGHTING,
        D3DRS_FOGENABLE,       D3DRS_STENCILENABLE,    D3DRS_SCISSORTESTENABLE,
        D3DRS_CLIPPLANEENABLE, D3DRS_COLORWRITEENABLE, D3DRS_SRGBWRITEENABLE};
    static constexpr DWORD kRenderValues[] = {FALSE,
                                              FALSE,
                                              TRUE,
                                              D3DBLEND_SRCALPHA,
                                              D3DBLEND_INVSRCALPHA,
                                              D3DBLENDOP_ADD,
                                              FALSE,
                                              D3DCULL_NONE,
                                              FALSE,
                                              FALSE,
                                              FALSE,
                                              FALSE,
                                              0,
                                              0xF,
                                              FALSE};
    static constexpr D3DTEXTURESTAGESTATETYPE kStageStates[] = {
        D3DTSS_COLOROP,   D3DTSS_COLORARG1, D3DTSS_COLORARG2,     D3DTSS_ALPHAOP,
        D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2, D3DTSS_TEXCOORDINDEX, D3DTSS_TEXTURETRANSFORMFLAGS};
    static constexpr DWORD kStageValues[] = {D3DTOP_MODULATE,
                                             D3DTA_TEXTURE,
                                             D3DTA_DIFFUSE,
                                             D3DTOP_MODULATE,
                                             D3DTA_TEXTURE,
                                             D3DTA_DIFFUSE,
                                             0,
                                             0};
    static constexpr D3DSAMPLERSTATETYPE kSamplerStates[] = {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER,
                                                             D3DSAMP_MIPFILTER, D3DSAMP_ADDRESSU,
                                                             D3DSAMP_ADDRESSV};
    static constexpr DWORD kSamplerValues[] = {D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE,
                                               D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP};

    DWORD savedRender[std::size(kRenderStates)];
    DWORD savedStage[std::size(kStageStates)];
    DWORD savedSampler[std::size(kSamplerStates)];
    DWORD savedStage1 = 0, savedFvf = 0;
    IDirect3DBaseTexture9* savedTexture = nullptr;
    IDirect3DVertexShader9* savedVertexShader = nullptr;
    IDirect3DPixelShader9* savedPixelShader = nullptr;
    for (std::size_t i = 0; i < std::size(kRenderStates); ++i) {
        device_->GetRenderState(kRenderStates[i], &savedRender[i]);
        device_->SetRenderState(kRenderStates[i], kRenderValues[i]);
    }
    for (std::size_t i = 0; i < std::size(kStageStates); ++i) {
        device_->GetTextureStageState(0, kStageStates[i], &savedStage[i]);
        device_->SetTextureStageState(0, kStageStates[i], kStageValues[i]);
    }
    for (std::size_t i = 0; i < std::size(kSamplerStates); ++i) {
        device_->GetSamplerState(0, kSamplerStates[i], &savedSampler[i]);
        device_->SetSamplerState(0, kSamplerStates[i], kSamplerValues[i]);
    }
    device_->GetTextureStageState(1, D3DTSS_COLOROP, &savedStage1);
    device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device_->GetFVF(&savedFvf);
    device_->GetTexture(0, &savedTexture);
    device_->GetVertexShader(&savedVertexShader);
    device_->GetPixelShader(&savedPixelShader);

    device_->SetVertexShader(nullptr);
    device_->SetPixelShader(nullptr);
    device_->SetTexture(0, texture_);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));

    device_->SetFVF(savedFvf);
    device_->SetTexture(0, savedTexture);
    device_->SetVertexShader(savedVertexShader);
    device_->SetPixelShader(savedPixelShader);
    for (IUnknown* held :
         std::initializer_list<IUnknown*>{savedTexture, savedVertexShader, savedPixelShader})
        if (held)
            held->Release();
    device_->SetTextureStageState(1, D3DTSS_COLOROP, savedStage1);
    for (std::size_t i = 0; i < std::size(kSamplerStates); ++i)
        device_->SetSamplerState(0, kSamplerStates[i], savedSampler[i]);
    for (std::size_t i = 0; i < std::size(kStageStates); ++i)
        device_->SetTextureStageState(0, kStageStates[i], savedStage[i]);
    for (std::size_t i = 0; i < std::size(kRenderStates); ++i)
        device_->SetRenderState(kRenderStates[i], savedRender[i]);
}

INT D3DXFont::DrawTextA(ID3DXSprite* sprite, const char* text, INT count, RECT* rect, DWORD format,
                        D3DCOLOR color) {
    if (sprite || !text || !rect)
        return 0;
    const std::string source =
        count < 0 ? std::string(text)
                  : std::string(text, strnlen(text, static_cast<std::size_t>(count)));
    const std::vector<Line> lines = Layout(source, rect->right - rect->left, format);
    int widest = 0;
    for (const Line& line : lines) widest = std::max(widest, line.width);
    const int height = static_cast<int>(lines.size()) * lineHeight_;
    if (format & DT_CALCRECT) {
        rect->right = rect->left + widest;
        rect->bottom = rect->top + height;
        return height;
    }
    int drawWidth = widest;
    int drawHeight = height;
    if (!(format & DT_NOCLIP)) {
        drawWidth = std::min(drawWidth, static_cast<int>(rect->right - rect->left));
        drawHeight = std::min(drawHeight, static_cast<int>(rect->bottom - rect->top));
    }
    if (drawWidth <= 0 || drawHeight <= 0)
        return height;
    const std::string key =
        std::to_string(format) + ':' + std::to_string(rect->right - rect->left) + ':' + source;
    if (!texture_ || key != cachedKey_) {
        DropTexture();
        if (widest <= 0 || height <= 0 || !Rasterise(lines, widest, height, format))
            return 0;
        cachedKey_ = key;
    }
    DrawQuad(rect->left, rect->top, drawWidth, drawHeight, color);
    return height;
}

}  // namespace

HRESULT D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT, UINT weight, UINT, BOOL, DWORD,
                        DWORD, DWORD, DWORD, const char* faceName, ID3DXFont** font) {
    if (!font)
        return D3DERR_INVALIDCALL;
    *font = nullptr;
    if (!device)
        return D3DERR_INVALIDCALL;
    const bool system = faceName && std::strcmp(faceName, "System") == 0;
    const char* path = system || weight >= kBoldWeight ? kBoldFace : kRegularFace;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return D3DERR_INVALIDCALL;
    FT_Face face = nullptr;
    if (FT_New_Face(library, path, 0, &face) != 0) {
        FT_Done_FreeType(library);
        return D3DERR_INVALIDCALL;
    }
    FT_Error sized;
    if (height < 0) {
        sized = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(-height));
    } else {
        // A cell height: the em size that makes ascender plus descender that tall.
        const int cell = height == 0 ? kDefaultHeight : height;
        const long span = face->ascender - face->descender;
        const long em = span > 0 ? cell * face->units_per_EM / span : cell;
        sized = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(1L, em)));
    }
    if (sized != 0) {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
        return D3DERR_INVALIDCALL;
    }
    *font = new D3DXFont(device, library, face);
    return D3D_OK;
}
