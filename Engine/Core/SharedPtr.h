// The counted pointer for resources (SharedPtr<Material>, SharedPtr<TextureBase>, ...). Each
// SharedPtr that holds a pointee holds one count of its RefCountedObj. Dropping the last one
// leaves the pointee alive with count 0: its manager collects it. A SharedPtr is used by one
// thread at a time; the count itself is atomic.
#pragma once

#include <utility>

namespace Zel {

template <class T>
class SharedPtr {
public:
    SharedPtr() = default;
    // Takes one count of the pointee (if any).
    explicit SharedPtr(T* pointee) : pointee_(pointee) { Hold(); }
    SharedPtr(const SharedPtr& other) : pointee_(other.pointee_) { Hold(); }
    SharedPtr(SharedPtr&& other) noexcept : pointee_(std::exchange(other.pointee_, nullptr)) {}
    // From a SharedPtr of a derived type (SharedPtr<TextureBase> from SharedPtr<RenderTarget>).
    template <class U>
    SharedPtr(const SharedPtr<U>& other) : pointee_(other.Get()) {
        Hold();
    }
    ~SharedPtr() { Drop(); }

    // Assigning the pointee already held changes nothing; otherwise the old pointee loses a
    // count and the new one gains one.
    SharedPtr& operator=(const SharedPtr& other) {
        Assign(other.pointee_);
        return *this;
    }
    SharedPtr& operator=(SharedPtr&& other) noexcept {
        if (this != &other) {
            Drop();
            pointee_ = std::exchange(other.pointee_, nullptr);
        }
        return *this;
    }
    void Assign(T* pointee) {
        if (pointee == pointee_)
            return;
        Drop();
        pointee_ = pointee;
        Hold();
    }
    void Reset() { Assign(nullptr); }

    T* Get() const { return pointee_; }
    T* operator->() const { return pointee_; }
    T& operator*() const { return *pointee_; }
    explicit operator bool() const { return pointee_ != nullptr; }
    friend bool operator==(const SharedPtr& a, const SharedPtr& b) {
        return a.pointee_ == b.pointee_;
    }

private:
    void Hold() {
        if (pointee_)
            pointee_->AddRef();
    }
    void Drop() {
        if (pointee_)
            pointee_->DecRef();
        pointee_ = nullptr;
    }

    T* pointee_ = nullptr;
};

}  // namespace Zel
