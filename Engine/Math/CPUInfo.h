// Processor identification: vendor, family, model and display name from CPUID, and the
// instruction-set extensions the processor both reports and actually executes. Called on the
// host thread during start-up; nothing here logs.
#pragma once

#include <cstdint>

#include "Core/ProcessorCaps.h"

namespace Zel {

class CpuidSource;

// Feature codes, one bit each; IdentifyCpu examines them in the order MMX, 3DNow!, SSE, SSE2, SSE3.
enum CpuFeature : uint32_t {
    CPU_FEATURE_MMX = 1,
    CPU_FEATURE_SSE = 2,
    CPU_FEATURE_SSE2 = 4,
    CPU_FEATURE_3DNOW = 8,
    CPU_FEATURE_SSE3 = 16,
};

// The CPU record IdentifyCpu fills.
struct CpuInfo {
    char vendor[13];     // the 12-character CPUID vendor string, NUL-terminated
    char brandName[31];  // display name from GetCpuBrandName, NUL-terminated
    uint32_t family;     // base family, or 15 + extended family when the base family is 15
    uint32_t model;      // bits 4-7 of the signature (no extended model)
    uint32_t stepping;   // bits 0-3 of the signature
    uint32_t reported;   // feature codes whose CPUID bit is set
    uint32_t confirmed;  // reported feature codes whose confirming instruction ran
    uint32_t last;       // 15 after a fill
};


// Installs the source that identification reads (tests install a fake); null restores the
// hardware. Answers the previously installed source (null for the hardware). Not thread-safe:
// start-up and tests only.
CpuidSource* SetCpuidSource(CpuidSource* source);

// True when the CPUID instruction executes.
bool IsCpuidAvailable();

// Executes the confirming instruction of one feature code under a fault guard: true when it
// completes, false when it faults. A code other than 1, 2, 4, 8, 16 executes nothing: true.
bool TestCpuFeature(uint32_t code);

// Answers the reported feature mask (0 without CPUID, leaving info untouched) and fills info when
// one is given.
uint32_t IdentifyCpu(CpuInfo* info);

// Writes the display name for a vendor string (its first 12 characters count), family and model
// into name (at least 31 bytes): "Unknown" for every combination the naming table lacks.
void GetCpuBrandName(uint32_t family, uint32_t model, const char* vendor, char* name);

// The capability record of the current processor, from its confirmed features.
ProcessorCaps DetectProcessorCaps();

// Fills the processor record from CPUID as reported (leaves 0, 1, 2 and 4, extended leaves 0 to
// 4): the feature bits, leaf words, vendor and brand strings, cache sharing and the signature's
// fields. Without CPUID only cpuidAvailable (0) is written.
void ReadCpuInfo(ProcessorCaps* info);

}  // namespace Zel
