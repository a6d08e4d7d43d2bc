// The debug console in which a developer types command lines ("/?" lists them). It stays hidden
// until the host shows it. Host thread.
#pragma once

namespace ZelI {

class IDebugConsole {
public:
    // Builds the console once; later calls do nothing.
    virtual void Create() = 0;
    // Shows the console when it was created.
    virtual void Show() = 0;

protected:
    ~IDebugConsole() = default;
};

}  // namespace ZelI
