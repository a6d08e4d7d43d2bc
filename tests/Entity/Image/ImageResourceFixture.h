// A fresh working directory and a fresh Globals for one image-resource test, with a software
// Direct3D 9 device that the texture manager can be given. Files are written relative to the
// working directory so that tests choose the paths the image path rules look at.
#pragma once

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/ZelLogMng.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Texture/TextureScale.h"
#include "fixtures/ImageFixtures.h"
#include "support/TempDir.h"
#include "tests/Entity/Image/ImageExpect.h"
#include "tests/Platform/D3D9Fixture.h"

namespace ZelTest {

class ImageResourceTest : public D3D9Fixture {
protected:
    void SetUp() override {
        D3D9Fixture::SetUp();
        dir_ = std::make_unique<TempDir>(true);
        Zel::Globals::GetSingleton();
        Zel::SetTextureScaleLevel(0);
        // Both switches are on by default; each test turns on what it shows.
        Config()->SetPreferDDS(false);
        Config()->SetCompressToDDS(false);
    }

    void TearDown() override {
        Zel::SetTextureScaleLevel(0);
        // Textures go before the device they were made on.
        Zel::Globals::DeleteSingleton();
        device_.Reset();
        dir_.reset();
        D3D9Fixture::TearDown();
    }

    Zel::Globals* G() { return Zel::Globals::GetSingleton(); }
    Zel::ImageManager* Images() { return G()->GetImageManager(); }
    Zel::TextureManager* Textures() { return G()->GetTextureManager(); }
    Zel::GlobalConfigManager* Config() { return G()->GetConfigManager(); }

    void AttachDevice() {
        MakeDevice(&device_);
        Textures()->SetDevice(device_.Get());
    }

    // Writes the file under the working directory (the path may use "\"); answers the path.
    std::string Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        std::string onDisk = path;
        for (char& c : onDisk)
            if (c == '\\')
                c = '/';
        dir_->Write(onDisk, std::string(bytes.begin(), bytes.end()));
        return path;
    }

    Zel::Image* NewImage(const std::string& name) {
        return static_cast<Zel::Image*>(Images()->Create(name));
    }

    // The log file's text so far.
    std::string LogText() {
        std::ifstream in(G()->GetLogManager()->GetLogFilePath(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static int Occurrences(const std::string& text, const std::string& needle) {
        int n = 0;
        for (std::size_t at = text.find(needle); at != std::string::npos;
             at = text.find(needle, at + 1))
            ++n;
        return n;
    }

    static std::vector<std::uint8_t> Bgra(const ZelFixtures::RgbaImage& image, bool keepAlpha) {
        return BgraBytes(image, keepAlpha);
    }

    static std::vector<std::uint8_t> SurfaceBytes(const Zel::ImageSurface* surface) {
        return std::vector<std::uint8_t>(surface->GetData(),
                                         surface->GetData() + surface->GetDataSize());
    }

    ComRef<IDirect3DDevice9> device_;
    std::unique_ptr<TempDir> dir_;
};

}  // namespace ZelTest
