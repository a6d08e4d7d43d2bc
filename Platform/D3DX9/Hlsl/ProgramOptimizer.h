// Shortens a generated program without changing what it computes: moves are folded into the
// instruction that made their value, copies of values that never change are read at their
// source, a multiply feeding one add becomes a multiply-add, and instructions whose results nobody
// reads are dropped. Works on final register numbers; outputs count as read at the end, discards
// and texture fetches are kept whenever their results matter.
#pragma once

#include <vector>

#include "Platform/D3DX9/Hlsl/Program.h"

namespace Hlsl {

class ProgramOptimizer {
public:
    static void Run(Program& program);

private:
    static void Reads(const Program& p, const Instruction& in, std::vector<std::uint32_t>& out);
    static void Writes(const Program& p, const Instruction& in, std::vector<std::uint32_t>& out);
    static bool IsOutput(const Program& p, std::uint32_t reg);
    // True when reg is read after position at before being written again (or is an output).
    static bool LiveAfter(const Program& p, std::size_t at, std::uint32_t reg);
    static bool FoldMoves(Program& p);
    static bool PropagateCopies(Program& p);
    static bool FuseMultiplyAdd(Program& p);
    static bool RemoveDeadCode(Program& p);
};

}  // namespace Hlsl
