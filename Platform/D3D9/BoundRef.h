// One binding slot of the software device: holds the bound object (SoftDeviceChild::Hold) so that
// it stays alive while bound, and drops the hold when replaced or cleared.
#pragma once

template <class T>
class BoundRef {
public:
    BoundRef() = default;
    ~BoundRef() { Reset(); }
    BoundRef(const BoundRef&) = delete;
    BoundRef& operator=(const BoundRef&) = delete;

    void Reset(T* object = nullptr) {
        if (object == ptr_)
            return;
        if (object)
            object->Hold();
        T* old = ptr_;
        ptr_ = object;
        if (old)
            old->Drop();  // may delete old
    }
    T* Get() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

private:
    T* ptr_ = nullptr;
};
