#include "Platform/D3DX9/Hlsl/Program.h"

namespace Hlsl {

int Program::FindInput(Usage usage, unsigned index) const {
    for (std::size_t i = 0; i < inputs.size(); ++i)
        if (inputs[i].usage == usage && inputs[i].usageIndex == index)
            return static_cast<int>(i);
    return -1;
}

int Program::FindOutput(Usage usage, unsigned index) const {
    for (std::size_t i = 0; i < outputs.size(); ++i)
        if (outputs[i].usage == usage && outputs[i].usageIndex == index)
            return static_cast<int>(i);
    return -1;
}

bool Program::Validate(std::uint32_t valueWords, std::uint32_t parameterCount) const {
    auto reg = [&](std::uint32_t r) { return r < registerCount; };
    auto range = [](std::uint64_t base, std::uint64_t count, std::uint64_t stride,
                    std::uint64_t limit) {
        return count >= 1 && base + (count - 1) * stride < limit;
    };
    if (registerCount == 0 || constantRegisters > registerCount)
        return false;
    for (const Instruction& in : code) {
        if (in.op >= Op::Count)
            return false;
        if (!reg(in.dst) || in.dst < constantRegisters)
            return false;
        switch (in.op) {
            case Op::GatherConst:
                if (!reg(in.a) || !range(in.b, in.d, in.c, arrayWords))
                    return false;
                break;
            case Op::GatherReg:
                if (!reg(in.a) || !range(in.b, in.d, in.c, registerCount))
                    return false;
                break;
            case Op::Sample: {
                if (in.b >= samples.size())
                    return false;
                const SampleOp& s = samples[in.b];
                if (s.sampler >= samplers.size() || !reg(s.lodRegister))
                    return false;
                for (int k = 0; k < 4; ++k)
                    if (!reg(s.coord[k]) || !reg(s.out[k]) || s.out[k] < constantRegisters)
                        return false;
                break;
            }
            default:
                if (!reg(in.a) || !reg(in.b) || !reg(in.c))
                    return false;
                break;
        }
    }
    for (const Literal& l : literals)
        if (l.reg >= constantRegisters)
            return false;
    for (const ConstantLoad& c : constants)
        if (c.reg >= constantRegisters || c.word >= valueWords)
            return false;
    for (const ArrayLoad& a : arrays) {
        if (a.conversions.empty())
            return false;
        if (static_cast<std::uint64_t>(a.word) + a.count > valueWords)
            return false;
        if (static_cast<std::uint64_t>(a.bufferOffset) + a.count > arrayWords)
            return false;
    }
    for (const ProgramInput& i : inputs)
        if (static_cast<std::uint64_t>(i.firstRegister) + 4 > registerCount || i.components > 4)
            return false;
    for (const ProgramOutput& o : outputs) {
        if (o.components > 4)
            return false;
        for (int k = 0; k < 4; ++k)
            if (!reg(o.registers[k]))
                return false;
    }
    for (const ProgramSampler& s : samplers)
        if (s.parameter >= parameterCount)
            return false;
    return true;
}

}  // namespace Hlsl
