// Makes the Direct3D 9 device and the device objects of the render code. Globals builds the one
// instance; it outlives every manager that owns device objects.
#pragma once

namespace Zel {

class GraphicsAPIManagerD3D9 {
public:
    GraphicsAPIManagerD3D9() = default;
    virtual ~GraphicsAPIManagerD3D9() = default;
    GraphicsAPIManagerD3D9(const GraphicsAPIManagerD3D9&) = delete;
    GraphicsAPIManagerD3D9& operator=(const GraphicsAPIManagerD3D9&) = delete;
};

}  // namespace Zel
