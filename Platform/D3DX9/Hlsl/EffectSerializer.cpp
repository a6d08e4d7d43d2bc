#include "Platform/D3DX9/Hlsl/EffectSerializer.h"

#include <bit>
#include <cstring>

#include "Platform/D3DX9/Hlsl/Program.h"

namespace Hlsl {

namespace {

constexpr int kMaxDepth = 16;

class Writer {
public:
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void U64(std::uint64_t v) {
        U32(static_cast<std::uint32_t>(v));
        U32(static_cast<std::uint32_t>(v >> 32));
    }
    void F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }
    void Str(const std::string& s) {
        U32(static_cast<std::uint32_t>(s.size()));
        bytes_.insert(bytes_.end(), s.begin(), s.end());
    }
    void Words(const std::vector<std::uint32_t>& w) {
        U32(static_cast<std::uint32_t>(w.size()));
        for (std::uint32_t v : w) U32(v);
    }
    std::vector<std::uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

class Reader {
public:
    Reader(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    bool Ok() const { return ok_; }
    std::uint64_t Remaining() const { return ok_ ? static_cast<std::uint64_t>(size_) - pos_ : 0; }
    std::uint8_t U8() {
        if (Remaining() < 1)
            return Fail<std::uint8_t>();
        return data_[pos_++];
    }
    std::uint32_t U32() {
        if (Remaining() < 4)
            return Fail<std::uint32_t>();
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(data_[pos_ + static_cast<std::size_t>(i)]) << (8 * i);
        pos_ += 4;
        return v;
    }
    std::uint64_t U64() {
        std::uint64_t lo = U32();
        return lo | static_cast<std::uint64_t>(U32()) << 32;
    }
    float F32() { return std::bit_cast<float>(U32()); }
    // A count of items each at least minBytes long, checked against what remains.
    std::uint32_t Count(std::uint64_t minBytes) {
        std::uint32_t n = U32();
        if (static_cast<std::uint64_t>(n) * minBytes > Remaining())
            return Fail<std::uint32_t>();
        return n;
    }
    std::string Str() {
        std::uint32_t n = Count(1);
        if (!ok_)
            return std::string();
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    std::vector<std::uint32_t> Words() {
        std::uint32_t n = Count(4);
        std::vector<std::uint32_t> w;
        if (!ok_)
            return w;
        w.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i) w.push_back(U32());
        return w;
    }
    template <typename T>
    T Fail() {
        ok_ = false;
        return T{};
    }
    // An enumeration value no larger than max.
    template <typename E>
    E Enum(unsigned max) {
        std::uint8_t v = U8();
        if (v > max)
            return Fail<E>();
        return static_cast<E>(v);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

void WriteAnnotations(Writer& w, const std::vector<Annotation>& list) {
    w.U32(static_cast<std::uint32_t>(list.size()));
    for (const Annotation& a : list) {
        w.Str(a.name);
        w.U8(static_cast<std::uint8_t>(a.cls));
        w.U8(static_cast<std::uint8_t>(a.type));
        w.U32(a.rows);
        w.U32(a.columns);
        w.Words(a.words);
        w.Str(a.text);
    }
}

void WriteStates(Writer& w, const std::vector<StateAssignment>& list) {
    w.U32(static_cast<std::uint32_t>(list.size()));
    for (const StateAssignment& s : list) {
        w.U8(static_cast<std::uint8_t>(s.kind));
        w.U32(s.code);
        w.U32(s.index);
        w.U8(static_cast<std::uint8_t>(s.valueType));
        w.U8(static_cast<std::uint8_t>(s.value.kind));
        w.Words(s.value.words);
        w.U32(s.value.parameter);
        w.U32(s.value.offset);
        w.U32(s.value.wordCount);
        w.U8(static_cast<std::uint8_t>(s.value.parameterType));
        w.Str(s.value.reference);
        w.U32(s.value.program);
    }
}

void WriteParameter(Writer& w, const Parameter& p) {
    w.Str(p.name);
    w.Str(p.semantic);
    w.U8(static_cast<std::uint8_t>(p.cls));
    w.U8(static_cast<std::uint8_t>(p.type));
    w.U32(p.rows);
    w.U32(p.columns);
    w.U32(p.elements);
    w.U32(p.offset);
    w.U32(p.words);
    w.Str(p.text);
    WriteAnnotations(w, p.annotations);
    WriteStates(w, p.samplerStates);
    w.U32(static_cast<std::uint32_t>(p.members.size()));
    for (const Parameter& m : p.members) WriteParameter(w, m);
}

void WriteProgram(Writer& w, const Program& p) {
    w.U8(static_cast<std::uint8_t>(p.kind));
    w.Str(p.profile);
    w.Str(p.entry);
    w.U32(p.registerCount);
    w.U32(p.constantRegisters);
    w.U32(p.arrayWords);
    w.U8(p.usesKill ? 1 : 0);
    w.U32(static_cast<std::uint32_t>(p.code.size()));
    for (const Instruction& in : p.code) {
        w.U32(static_cast<std::uint32_t>(in.op));
        w.U32(in.dst);
        w.U32(in.a);
        w.U32(in.b);
        w.U32(in.c);
        w.U32(in.d);
    }
    w.U32(static_cast<std::uint32_t>(p.samples.size()));
    for (const SampleOp& s : p.samples) {
        w.U32(s.sampler);
        w.U8(static_cast<std::uint8_t>(s.dim));
        w.U8(static_cast<std::uint8_t>(s.lod));
        w.U8(s.projected ? 1 : 0);
        for (std::uint32_t c : s.coord) w.U32(c);
        w.U32(s.lodRegister);
        for (std::uint32_t o : s.out) w.U32(o);
    }
    w.U32(static_cast<std::uint32_t>(p.literals.size()));
    for (const Literal& l : p.literals) {
        w.U32(l.reg);
        w.F32(l.value);
    }
    w.U32(static_cast<std::uint32_t>(p.constants.size()));
    for (const ConstantLoad& c : p.constants) {
        w.U32(c.word);
        w.U8(static_cast<std::uint8_t>(c.conversion));
        w.U32(c.reg);
    }
    w.U32(static_cast<std::uint32_t>(p.arrays.size()));
    for (const ArrayLoad& a : p.arrays) {
        w.U32(a.word);
        w.U32(a.count);
        w.U32(static_cast<std::uint32_t>(a.conversions.size()));
        for (Conversion c : a.conversions) w.U8(static_cast<std::uint8_t>(c));
        w.U32(a.bufferOffset);
    }
    w.U32(static_cast<std::uint32_t>(p.inputs.size()));
    for (const ProgramInput& i : p.inputs) {
        w.U8(static_cast<std::uint8_t>(i.usage));
        w.U8(i.usageIndex);
        w.U8(i.components);
        w.U32(i.firstRegister);
    }
    w.U32(static_cast<std::uint32_t>(p.outputs.size()));
    for (const ProgramOutput& o : p.outputs) {
        w.U8(static_cast<std::uint8_t>(o.usage));
        w.U8(o.usageIndex);
        w.U8(o.components);
        for (std::uint32_t r : o.registers) w.U32(r);
    }
    w.U32(static_cast<std::uint32_t>(p.samplers.size()));
    for (const ProgramSampler& s : p.samplers) {
        w.U32(s.parameter);
        w.U32(s.stage);
        w.U8(static_cast<std::uint8_t>(s.dim));
    }
}

std::vector<Annotation> ReadAnnotations(Reader& r) {
    std::vector<Annotation> list;
    std::uint32_t n = r.Count(22);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        Annotation a;
        a.name = r.Str();
        a.cls = r.Enum<ParameterClass>(5);
        a.type = r.Enum<ParameterType>(16);
        a.rows = r.U32();
        a.columns = r.U32();
        a.words = r.Words();
        a.text = r.Str();
        list.push_back(std::move(a));
    }
    return list;
}

std::vector<StateAssignment> ReadStates(Reader& r) {
    std::vector<StateAssignment> list;
    std::uint32_t n = r.Count(36);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        StateAssignment s;
        s.kind = r.Enum<StateKind>(7);
        s.code = r.U32();
        s.index = r.U32();
        s.valueType = r.Enum<StateValueType>(7);
        s.value.kind = r.Enum<StateValue::Kind>(2);
        s.value.words = r.Words();
        s.value.parameter = r.U32();
        s.value.offset = r.U32();
        s.value.wordCount = r.U32();
        s.value.parameterType = r.Enum<ParameterType>(16);
        s.value.reference = r.Str();
        s.value.program = r.U32();
        list.push_back(std::move(s));
    }
    return list;
}

bool ReadParameter(Reader& r, Parameter& p, int depth) {
    if (depth > kMaxDepth)
        return r.Fail<bool>();
    p.name = r.Str();
    p.semantic = r.Str();
    p.cls = r.Enum<ParameterClass>(5);
    p.type = r.Enum<ParameterType>(16);
    p.rows = r.U32();
    p.columns = r.U32();
    p.elements = r.U32();
    p.offset = r.U32();
    p.words = r.U32();
    p.text = r.Str();
    p.annotations = ReadAnnotations(r);
    p.samplerStates = ReadStates(r);
    std::uint32_t n = r.Count(46);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        Parameter m;
        if (!ReadParameter(r, m, depth + 1))
            return false;
        p.members.push_back(std::move(m));
    }
    return r.Ok();
}

std::shared_ptr<Program> ReadProgram(Reader& r) {
    auto p = std::make_shared<Program>();
    p->kind = r.Enum<ProgramKind>(1);
    p->profile = r.Str();
    p->entry = r.Str();
    p->registerCount = r.U32();
    p->constantRegisters = r.U32();
    p->arrayWords = r.U32();
    p->usesKill = r.U8() != 0;
    // Sizes the context will allocate: keep them in proportion to the file.
    if (p->registerCount > (1u << 20) || p->arrayWords > (1u << 24))
        return r.Fail<std::shared_ptr<Program>>();
    std::uint32_t n = r.Count(24);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        Instruction in;
        std::uint32_t op = r.U32();
        if (op >= static_cast<std::uint32_t>(Op::Count))
            return r.Fail<std::shared_ptr<Program>>();
        in.op = static_cast<Op>(op);
        in.dst = r.U32();
        in.a = r.U32();
        in.b = r.U32();
        in.c = r.U32();
        in.d = r.U32();
        p->code.push_back(in);
    }
    n = r.Count(47);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        SampleOp s;
        s.sampler = r.U32();
        s.dim = r.Enum<TextureDim>(3);
        s.lod = r.Enum<LodMode>(2);
        s.projected = r.U8() != 0;
        for (std::uint32_t& c : s.coord) c = r.U32();
        s.lodRegister = r.U32();
        for (std::uint32_t& o : s.out) o = r.U32();
        p->samples.push_back(s);
    }
    n = r.Count(8);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        Literal l;
        l.reg = r.U32();
        l.value = r.F32();
        p->literals.push_back(l);
    }
    n = r.Count(9);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        ConstantLoad c;
        c.word = r.U32();
        c.conversion = r.Enum<Conversion>(2);
        c.reg = r.U32();
        p->constants.push_back(c);
    }
    n = r.Count(16);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        ArrayLoad a;
        a.word = r.U32();
        a.count = r.U32();
        std::uint32_t c = r.Count(1);
        for (std::uint32_t k = 0; k < c && r.Ok(); ++k)
            a.conversions.push_back(r.Enum<Conversion>(2));
        a.bufferOffset = r.U32();
        p->arrays.push_back(std::move(a));
    }
    n = r.Count(7);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        ProgramInput in;
        in.usage = r.Enum<Usage>(13);
        in.usageIndex = r.U8();
        in.components = r.U8();
        in.firstRegister = r.U32();
        p->inputs.push_back(in);
    }
    n = r.Count(19);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        ProgramOutput o;
        o.usage = r.Enum<Usage>(13);
        o.usageIndex = r.U8();
        o.components = r.U8();
        for (std::uint32_t& reg : o.registers) reg = r.U32();
        p->outputs.push_back(o);
    }
    n = r.Count(9);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        ProgramSampler s;
        s.parameter = r.U32();
        s.stage = r.U32();
        s.dim = r.Enum<TextureDim>(3);
        p->samplers.push_back(s);
    }
    return r.Ok() ? p : nullptr;
}

bool IsSampler(ParameterType t) {
    return t >= ParameterType::Sampler && t <= ParameterType::SamplerCube;
}
bool IsTexture(ParameterType t) {
    return t >= ParameterType::Texture && t <= ParameterType::TextureCube;
}

bool IsNumericClass(ParameterClass c) {
    return c == ParameterClass::Scalar || c == ParameterClass::Vector ||
           c == ParameterClass::MatrixRows || c == ParameterClass::MatrixColumns;
}

bool CheckParameter(const Parameter& p, std::size_t values) {
    if (static_cast<std::uint64_t>(p.offset) + p.words > values)
        return false;
    if (p.elements != 0 && p.words % p.elements != 0)
        return false;
    // The effect's setters write rows x columns words from an element's first word: that shape
    // must lie inside the element.
    if (IsNumericClass(p.cls) && (p.rows == 0 || p.rows > 4 || p.columns == 0 || p.columns > 4 ||
                                  p.rows * p.columns > p.ElementWords()))
        return false;
    for (const Parameter& m : p.members)
        if (!CheckParameter(m, values))
            return false;
    return true;
}

bool CheckStates(const std::vector<StateAssignment>& states, const EffectDescription& e) {
    for (const StateAssignment& s : states) {
        const StateValue& v = s.value;
        if (v.kind == StateValue::Kind::Parameter) {
            if (v.parameter >= e.parameters.size() ||
                static_cast<std::uint64_t>(v.offset) + v.wordCount > e.values.size())
                return false;
        } else if (v.kind == StateValue::Kind::Program) {
            if (v.program >= e.programs.size())
                return false;
            ProgramKind want =
                s.kind == StateKind::VertexShader ? ProgramKind::Vertex : ProgramKind::Pixel;
            if ((s.kind != StateKind::VertexShader && s.kind != StateKind::PixelShader) ||
                e.programs[v.program]->kind != want)
                return false;
        }
    }
    return true;
}

bool ReadHeaderFrom(Reader& r, CompiledEffectHeader& header, std::string& error) {
    std::uint32_t magic = r.U32();
    if (!r.Ok() || magic != EffectSerializer::kMagic) {
        error = "not a compiled effect (wrong magic)";
        return false;
    }
    header.version = r.U32();
    if (!r.Ok() || header.version != EffectSerializer::kVersion) {
        error = "compiled effect of another version (" + std::to_string(header.version) + ")";
        return false;
    }
    header.sourceHash = r.U64();
    std::uint32_t n = r.Count(4);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) header.includes.push_back(r.Str());
    if (!r.Ok()) {
        error = "compiled effect header is truncated";
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> EffectSerializer::Save(const EffectDescription& effect,
                                                 std::uint64_t sourceHash,
                                                 const std::vector<std::string>& includes) {
    Writer w;
    w.U32(kMagic);
    w.U32(kVersion);
    w.U64(sourceHash);
    w.U32(static_cast<std::uint32_t>(includes.size()));
    for (const std::string& s : includes) w.Str(s);
    w.Words(effect.values);
    w.U32(static_cast<std::uint32_t>(effect.parameters.size()));
    for (const Parameter& p : effect.parameters) WriteParameter(w, p);
    w.U32(static_cast<std::uint32_t>(effect.programs.size()));
    for (const auto& p : effect.programs) WriteProgram(w, *p);
    w.U32(static_cast<std::uint32_t>(effect.techniques.size()));
    for (const Technique& t : effect.techniques) {
        w.Str(t.name);
        WriteAnnotations(w, t.annotations);
        w.U32(static_cast<std::uint32_t>(t.passes.size()));
        for (const Pass& p : t.passes) {
            w.Str(p.name);
            WriteAnnotations(w, p.annotations);
            WriteStates(w, p.states);
        }
    }
    return std::move(w.Bytes());
}

bool EffectSerializer::ReadHeader(const void* data, std::size_t size, CompiledEffectHeader& header,
                                  std::string& error) {
    Reader r(data, size);
    header = CompiledEffectHeader{};
    return ReadHeaderFrom(r, header, error);
}

std::shared_ptr<const EffectDescription> EffectSerializer::Load(const void* data, std::size_t size,
                                                                CompiledEffectHeader& header,
                                                                std::string& error) {
    Reader r(data, size);
    header = CompiledEffectHeader{};
    if (!ReadHeaderFrom(r, header, error))
        return nullptr;
    auto e = std::make_shared<EffectDescription>();
    e->values = r.Words();
    std::uint32_t n = r.Count(46);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        Parameter p;
        if (!ReadParameter(r, p, 0))
            break;
        e->parameters.push_back(std::move(p));
    }
    n = r.Count(40);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        std::shared_ptr<Program> p = ReadProgram(r);
        if (p == nullptr)
            break;
        e->programs.push_back(std::move(p));
    }
    n = r.Count(12);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        Technique t;
        t.name = r.Str();
        t.annotations = ReadAnnotations(r);
        std::uint32_t passes = r.Count(12);
        for (std::uint32_t k = 0; k < passes && r.Ok(); ++k) {
            Pass p;
            p.name = r.Str();
            p.annotations = ReadAnnotations(r);
            p.states = ReadStates(r);
            t.passes.push_back(std::move(p));
        }
        e->techniques.push_back(std::move(t));
    }
    if (!r.Ok()) {
        error = "compiled effect is truncated or damaged";
        return nullptr;
    }
    if (r.Remaining() != 0) {
        error = "compiled effect has trailing bytes";
        return nullptr;
    }
    bool ok = true;
    for (const Parameter& p : e->parameters) {
        ok = ok && CheckParameter(p, e->values.size()) && CheckStates(p.samplerStates, *e);
        for (const StateAssignment& s : p.samplerStates)
            if (s.value.kind == StateValue::Kind::Program)
                ok = false;
    }
    for (const auto& p : e->programs) {
        ok = ok && p->Validate(static_cast<std::uint32_t>(
                                   std::min<std::size_t>(e->values.size(), 0xFFFFFFFFu)),
                               static_cast<std::uint32_t>(e->parameters.size()));
        if (ok)
            for (const ProgramSampler& s : p->samplers)
                ok = ok && IsSampler(e->parameters[s.parameter].type);
    }
    for (const Technique& t : e->techniques)
        for (const Pass& p : t.passes) ok = ok && CheckStates(p.states, *e);
    (void)IsTexture;
    if (!ok) {
        error = "compiled effect refers outside itself";
        return nullptr;
    }
    return e;
}

}  // namespace Hlsl
