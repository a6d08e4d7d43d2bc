#include "Render/RenderWindow.h"

#include "Render/RenderSystem.h"

namespace Zel {

void RenderWindow::Activate() {
    if (renderSystem_)
        renderSystem_->SetActiveRenderWindow(this);
    ActivateImpl();
}

void RenderWindow::Destroy() {
    if (renderSystem_)
        renderSystem_->RemoveRenderWindow(this);
    delete this;
}

}  // namespace Zel
