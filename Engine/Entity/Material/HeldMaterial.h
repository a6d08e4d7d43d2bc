// A material the engine's own passes keep for as long as they run (post effects, the texture
// combiner, the stylised renderer, the distortion effect): one reference, listed with the
// material's manager as in use, so that MaterialManager::RemoveAll, which deletes library
// materials whatever their counts, spares it and the holder never points at a deleted material.
//
// Threads: the host's thread, as the manager's sweeps.
#pragma once

namespace Zel {

class Material;

class HeldMaterial {
public:
    HeldMaterial() = default;
    // Gives back what it holds.
    ~HeldMaterial() { Reset(); }
    HeldMaterial(const HeldMaterial&) = delete;
    HeldMaterial& operator=(const HeldMaterial&) = delete;

    // Gives back the material held (its reference and its in-use entry), then holds material;
    // null holds nothing. Assigning the material already held changes nothing.
    void Assign(Material* material);
    void Reset() { Assign(nullptr); }
    // Holds a clone fresh from Material::Clone in place of the reference Clone handed out,
    // which goes back through the clone's Release (so the clone counts as properly released).
    // Nothing for null.
    void AdoptClone(Material* clone);

    Material* Get() const { return material_; }
    Material* operator->() const { return material_; }
    Material& operator*() const { return *material_; }
    explicit operator bool() const { return material_ != nullptr; }

private:
    Material* material_ = nullptr;
};

}  // namespace Zel
