// Where processor identification gets its answers. The hardware source executes CPUID and the
// confirming instructions; tests install a source that answers from a table, so every vendor,
// family and feature combination can be examined on any machine.
#pragma once

#include <cstdint>

namespace Zel {

class CpuidSource {
public:
    CpuidSource() = default;
    virtual ~CpuidSource() = default;
    CpuidSource(const CpuidSource&) = delete;
    CpuidSource& operator=(const CpuidSource&) = delete;

    // False when the CPUID instruction is missing (executing it would fault).
    virtual bool Available() = 0;
    // Runs CPUID for one leaf (sub-leaf 0); regs receives EAX, EBX, ECX, EDX in that order.
    virtual void Query(uint32_t leaf, uint32_t regs[4]) = 0;
    // Executes the confirming instruction of one feature code (1, 2, 4, 8 or 16) and answers
    // whether it completed; never called with another code.
    virtual bool TestFeature(uint32_t code) = 0;
};

}  // namespace Zel
