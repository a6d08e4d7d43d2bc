// The command system a host tool reaches through the proxy factory: it runs the library's command
// lines ("/?" lists them) and command files. Owned by the library. Host thread.
#pragma once

namespace ZelI {

class ICommandSystem {
public:
    // Runs one line; true when its status is 0.
    virtual bool ExecuteCommand(const char* line) = 0;
    // Runs every line of a text file; true when the file was read and every line ran.
    virtual bool ExecuteCommandFile(const char* fileName) = 0;

protected:
    ~ICommandSystem() = default;
};

}  // namespace ZelI
