#include "Render/RenderWindow.h"

#include "Entity/Texture/RenderTarget.h"
#include "Render/RenderSystem.h"

namespace Zel {

RenderWindow::RenderWindow(RenderSystem* renderSystem, std::uint32_t poolCode, RenderDevice* device)
    : RenderResource(poolCode, device), renderSystem_(renderSystem) {}

RenderWindow::~RenderWindow() = default;

void RenderWindow::Activate() {
    if (renderSystem_)
        renderSystem_->SetActiveRenderWindow(this);
    Bind();
}

void RenderWindow::Destroy() {
    if (renderSystem_)
        renderSystem_->RemoveRenderWindow(this);
    delete this;
}

}  // namespace Zel
