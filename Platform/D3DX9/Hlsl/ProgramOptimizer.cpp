#include "Platform/D3DX9/Hlsl/ProgramOptimizer.h"

#include <algorithm>

namespace Hlsl {

namespace {

constexpr std::size_t kMaxRewriteSize = 8192;

bool Contains(const std::vector<std::uint32_t>& v, std::uint32_t r) {
    return std::find(v.begin(), v.end(), r) != v.end();
}

int OperandCount(Op op) {
    switch (op) {
        case Op::Add:
        case Op::Sub:
        case Op::Mul:
        case Op::Div:
        case Op::Min:
        case Op::Max:
        case Op::Pow:
        case Op::Atan2:
        case Op::Fmod:
        case Op::Lt:
        case Op::Le:
        case Op::Eq:
        case Op::Ne:
        case Op::And:
        case Op::Or:
            return 2;
        case Op::Mad:
        case Op::Select:
            return 3;
        case Op::GatherConst:
        case Op::GatherReg:
        case Op::Sample:
            return 0;  // handled apart
        default:
            return 1;
    }
}

}  // namespace

void ProgramOptimizer::Reads(const Program& p, const Instruction& in,
                             std::vector<std::uint32_t>& out) {
    out.clear();
    switch (in.op) {
        case Op::GatherConst:
            out.push_back(in.a);
            return;
        case Op::GatherReg:
            out.push_back(in.a);
            for (std::uint32_t k = 0; k < in.d; ++k) out.push_back(in.b + k * in.c);
            return;
        case Op::Sample: {
            const SampleOp& s = p.samples[in.b];
            unsigned n = s.dim == TextureDim::Tex1D ? 1 : s.dim == TextureDim::Tex2D ? 2 : 3;
            for (unsigned k = 0; k < n; ++k) out.push_back(s.coord[k]);
            if (s.projected)
                out.push_back(s.coord[3]);
            if (s.lod != LodMode::Implicit)
                out.push_back(s.lodRegister);
            return;
        }
        default: {
            int n = OperandCount(in.op);
            if (n >= 1)
                out.push_back(in.a);
            if (n >= 2)
                out.push_back(in.b);
            if (n >= 3)
                out.push_back(in.c);
            return;
        }
    }
}

void ProgramOptimizer::Writes(const Program& p, const Instruction& in,
                              std::vector<std::uint32_t>& out) {
    out.clear();
    if (in.op == Op::Sample) {
        for (std::uint32_t r : p.samples[in.b].out) out.push_back(r);
    } else if (in.op != Op::Kill) {
        out.push_back(in.dst);
    }
}

bool ProgramOptimizer::IsOutput(const Program& p, std::uint32_t reg) {
    for (const ProgramOutput& o : p.outputs)
        for (std::uint32_t r : o.registers)
            if (r == reg)
                return true;
    return false;
}

bool ProgramOptimizer::LiveAfter(const Program& p, std::size_t at, std::uint32_t reg) {
    std::vector<std::uint32_t> reads, writes;
    for (std::size_t i = at + 1; i < p.code.size(); ++i) {
        Reads(p, p.code[i], reads);
        if (Contains(reads, reg))
            return true;
        Writes(p, p.code[i], writes);
        if (Contains(writes, reg))
            return false;
    }
    return IsOutput(p, reg);
}

bool ProgramOptimizer::FoldMoves(Program& p) {
    // t = op(...); ...; d = t   becomes   d = op(...); ...   when nothing in between touches d
    // or reads t, and t is not read afterwards.
    bool changed = false;
    std::vector<std::uint32_t> reads, writes;
    for (std::size_t m = 0; m < p.code.size(); ++m) {
        const Instruction mov = p.code[m];
        if (mov.op != Op::Mov || mov.a < p.constantRegisters || mov.a == mov.dst)
            continue;
        std::size_t i = m;
        bool ok = false;
        while (i > 0) {
            --i;
            const Instruction& in = p.code[i];
            Writes(p, in, writes);
            if (Contains(writes, mov.a)) {
                ok = in.op == Op::Sample || (in.op != Op::Kill && in.dst == mov.a);
                break;
            }
            Reads(p, in, reads);
            if (Contains(reads, mov.a) || Contains(reads, mov.dst) || Contains(writes, mov.dst))
                break;
        }
        if (!ok || LiveAfter(p, m, mov.a))
            continue;
        if (p.code[i].op == Op::Sample) {
            // A fetch writes four registers: rename the one the move reads.
            // The sampler reads its coordinates while it writes: keep the two apart.
            SampleOp& sample = p.samples[p.code[i].b];
            Reads(p, p.code[i], reads);
            if (Contains(std::vector<std::uint32_t>(sample.out, sample.out + 4), mov.dst) ||
                Contains(reads, mov.dst))
                continue;
            for (std::uint32_t& o : sample.out)
                if (o == mov.a)
                    o = mov.dst;
            p.code[i].dst = sample.out[0];
        } else {
            p.code[i].dst = mov.dst;
        }
        p.code.erase(p.code.begin() + static_cast<std::ptrdiff_t>(m));
        --m;
        changed = true;
    }
    return changed;
}

bool ProgramOptimizer::PropagateCopies(Program& p) {
    // d = s, where neither d nor s is written again: later reads of d read s.
    bool changed = false;
    std::vector<std::uint32_t> reads, writes;
    for (std::size_t m = 0; m < p.code.size(); ++m) {
        const Instruction mov = p.code[m];
        if (mov.op != Op::Mov || mov.a == mov.dst || IsOutput(p, mov.dst))
            continue;
        bool ok = true;
        for (std::size_t i = m + 1; i < p.code.size() && ok; ++i) {
            const Instruction& in = p.code[i];
            Writes(p, in, writes);
            if (Contains(writes, mov.dst) || Contains(writes, mov.a))
                ok = false;
            // A gathered range cannot be renamed one register at a time.
            if (in.op == Op::GatherReg) {
                Reads(p, in, reads);
                if (Contains(reads, mov.dst))
                    ok = false;
            }
        }
        if (!ok)
            continue;
        for (std::size_t i = m + 1; i < p.code.size(); ++i) {
            Instruction& in = p.code[i];
            if (in.op == Op::Sample) {
                SampleOp& s = p.samples[in.b];
                for (std::uint32_t& c : s.coord)
                    if (c == mov.dst)
                        c = mov.a;
                if (s.lodRegister == mov.dst)
                    s.lodRegister = mov.a;
                continue;
            }
            if (in.op == Op::GatherConst || in.op == Op::GatherReg) {
                if (in.a == mov.dst)
                    in.a = mov.a;
                continue;
            }
            int n = OperandCount(in.op);
            if (n >= 1 && in.a == mov.dst)
                in.a = mov.a;
            if (n >= 2 && in.b == mov.dst)
                in.b = mov.a;
            if (n >= 3 && in.c == mov.dst)
                in.c = mov.a;
        }
        p.code.erase(p.code.begin() + static_cast<std::ptrdiff_t>(m));
        --m;
        changed = true;
    }
    return changed;
}

bool ProgramOptimizer::RemoveDeadCode(Program& p) {
    std::vector<bool> live(p.registerCount, false);
    for (const ProgramOutput& o : p.outputs)
        for (std::uint32_t r : o.registers) live[r] = true;
    std::vector<bool> keep(p.code.size(), true);
    std::vector<std::uint32_t> reads, writes;
    bool changed = false;
    for (std::size_t i = p.code.size(); i-- > 0;) {
        const Instruction& in = p.code[i];
        Writes(p, in, writes);
        bool needed = in.op == Op::Kill;
        for (std::uint32_t w : writes) needed = needed || live[w];
        if (!needed) {
            keep[i] = false;
            changed = true;
            continue;
        }
        for (std::uint32_t w : writes) live[w] = false;
        Reads(p, in, reads);
        for (std::uint32_t r : reads) live[r] = true;
    }
    if (changed) {
        std::vector<Instruction> code;
        for (std::size_t i = 0; i < p.code.size(); ++i)
            if (keep[i])
                code.push_back(p.code[i]);
        p.code = std::move(code);
    }
    return changed;
}

bool ProgramOptimizer::FuseMultiplyAdd(Program& p) {
    // x = a * b; ...; u = x + y   becomes   u = a * b + y   when x is read nowhere else and a,
    // b keep their values in between; the multiply then dies.
    bool changed = false;
    std::vector<std::uint32_t> reads, writes;
    for (std::size_t k = 0; k < p.code.size(); ++k) {
        Instruction add = p.code[k];
        if (add.op != Op::Add)
            continue;
        for (int side = 0; side < 2; ++side) {
            std::uint32_t x = side == 0 ? add.a : add.b, y = side == 0 ? add.b : add.a;
            if (x == y || x < p.constantRegisters)
                continue;
            std::size_t j = k;
            bool found = false;
            while (j > 0) {
                --j;
                Writes(p, p.code[j], writes);
                if (Contains(writes, x)) {
                    found = p.code[j].op == Op::Mul && p.code[j].dst == x;
                    break;
                }
                Reads(p, p.code[j], reads);
                if (Contains(reads, x))
                    break;
            }
            if (!found || LiveAfter(p, k, x))
                continue;
            const Instruction mul = p.code[j];
            bool stable = true;
            for (std::size_t i = j + 1; i < k && stable; ++i) {
                Writes(p, p.code[i], writes);
                stable = !Contains(writes, mul.a) && !Contains(writes, mul.b);
            }
            if (!stable)
                continue;
            Instruction mad;
            mad.op = Op::Mad;
            mad.dst = add.dst;
            mad.a = mul.a;
            mad.b = mul.b;
            mad.c = y;
            p.code[k] = mad;
            changed = true;
            break;
        }
    }
    return changed;
}

void ProgramOptimizer::Run(Program& program) {
    // The rewrites scan ahead of every move; beyond any real effect's size only the linear
    // dead-code pass runs.
    if (program.code.size() > kMaxRewriteSize) {
        RemoveDeadCode(program);
        return;
    }
    for (int round = 0; round < 8; ++round) {
        bool changed = RemoveDeadCode(program);
        changed = PropagateCopies(program) || changed;
        changed = FoldMoves(program) || changed;
        changed = FuseMultiplyAdd(program) || changed;
        if (!changed)
            break;
    }
}

}  // namespace Hlsl
