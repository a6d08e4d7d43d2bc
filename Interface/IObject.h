// The base of every interface through which the host holds a library object. The object the
// host holds is a small wrapper bound to the library's object; the host never deletes it and
// gives it back with Release. Host thread.
#pragma once

namespace ZelI {

class IObject {
public:
    // Gives the wrapper back: it is unbound from its object (the object goes back to its owner
    // where its kind requires it) and may be handed out again for another object. A second call
    // does nothing. The result has no meaning in direct mode; in queued mode it is the result of
    // the release task (0 when no loading thread runs).
    virtual int Release() = 0;
    // True while the wrapper is bound to an object.
    virtual bool IsValid() = 0;
    // Library use: binds the wrapper to an implementation object, or unbinds it with null.
    virtual void SetImpl(void* impl) = 0;
    // Library use: the bound implementation object, null when unbound.
    virtual void* GetImpl() = 0;

protected:
    // Wrappers belong to the library.
    virtual ~IObject() = default;
};

}  // namespace ZelI
