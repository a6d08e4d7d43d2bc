// The command system's interface: runs command lines and command files.
#pragma once

namespace Zel {

class ICommandSystem {
public:
    // Runs one line; true when its status is 0.
    virtual bool ExecuteCommand(const char* line) = 0;
    // Runs every line of a text file; true when the file was read and every line ran.
    virtual bool ExecuteCommandFile(const char* fileName) = 0;

protected:
    ~ICommandSystem() = default;
};

}  // namespace Zel
