// Draws the host's box widgets at once, in the scene's current view: every face first, then every
// edge, each widget as it asked (IWidgetAABB::SetDrawModes). Widgets stay in the renderer until
// Clear, so a host that adds its widgets every frame clears every frame. Host thread.
#pragma once

namespace ZelI {

class IWidget;

class IWidgetRender {
public:
    virtual void Prepare() = 0;
    // Forgets every box widget added.
    virtual void Clear() = 0;
    // Draws the box widgets now.
    virtual void Render() = 0;
    // Adds the widget to the list of its type; a widget added twice is drawn twice.
    virtual void AddWidget(IWidget* widget) = 0;

protected:
    // The renderer lives as long as the process.
    ~IWidgetRender() = default;
};

}  // namespace ZelI
