// A layer-wide object made on first use and deleted when the layer goes: when the process ends,
// or when the library that holds the layer is unloaded by its host. Declared at namespace scope,
// the holder's end is registered as the library loads, so it runs after the end of every object
// built later on first use (the thread manager, the workers): their destructors can still reach
// the object. Internal to the Win32 layer. Any thread.
#pragma once

#include <mutex>

template <class T>
class LayerSingleton {
public:
    constexpr LayerSingleton() = default;
    ~LayerSingleton() { delete object_; }
    LayerSingleton(const LayerSingleton&) = delete;
    LayerSingleton& operator=(const LayerSingleton&) = delete;

    T& Get() {
        std::call_once(made_, [this] { object_ = new T(); });
        return *object_;
    }

private:
    std::once_flag made_;
    T* object_ = nullptr;
};
