// The bulk arithmetic interface: operations on plain arrays of floats (and a few on bytes, 16-bit
// samples and raw memory), with one portable variant and variants for MMX, 3DNow!, SSE, SSE2 and
// SSE3 processors. Every variant gives the same results for the same input, bit for bit, except
// where an operation says otherwise (multiply-add, dot products, matrix sums, volume ramps and the
// rounding of FloatToInt16). The processors hold no mutable state: any thread may call any
// operation. No operation allocates, locks, logs or reports an error.
//
// Shared conventions:
// - count is a signed element count; 0 or less does nothing (DotArrays then writes 0, the min/max
//   operations their initial extremes).
// - Every element-wise operation may run in place (dst equal to a source); partial overlap is not
//   supported.
// - Floats need 4-byte alignment, except the *Aligned family, whose arrays start on 16-byte
//   boundaries. No operation touches memory outside the elements it is given.
// - NaN compares false everywhere: the compares answer 0 for it, MinMax never takes it, Clamp
//   passes it through.
#pragma once

#include <cstdint>

namespace Zel {

class FloatMatrix;
class FloatVector;

// Three floats x, y, z stored back to back (12 bytes).
struct SIMDVec3 {
    float x, y, z;
};

// Four floats x, y, z, w (16 bytes). As a plane, x, y, z are the normal and w the distance term.
struct SIMDVec4 {
    float x, y, z, w;
};

static_assert(sizeof(SIMDVec3) == 12 && sizeof(SIMDVec4) == 16);

// Processor flag words: which extensions a processor was chosen for.
enum SIMDFlag : uint32_t {
    SIMD_FLAG_GENERIC = 0x2,
    SIMD_FLAG_MMX = 0x10,
    SIMD_FLAG_3DNOW = 0x20,
    SIMD_FLAG_SSE = 0x40,
    SIMD_FLAG_SSE2 = 0x80,
    SIMD_FLAG_SSE3 = 0x100,
};

class ZelSIMDProcessor {
public:
    ZelSIMDProcessor(const ZelSIMDProcessor&) = delete;
    ZelSIMDProcessor& operator=(const ZelSIMDProcessor&) = delete;

    // The processor flag word; 0 after construction, set by the processor choice.
    uint32_t GetFeatures() const { return features_; }
    void SetFeatures(uint32_t features) { features_ = features; }

    // The constant display name of the variant; never null.
    virtual const char* GetName() const = 0;

    // Arithmetic. The scalar forms put the constant before the source array.
    virtual void Add(float* dst, const float* a, const float* b, int count) const = 0;
    virtual void AddScalar(float* dst, float k, const float* src, int count) const = 0;
    virtual void Sub(float* dst, const float* a, const float* b, int count) const = 0;
    virtual void ScalarSub(float* dst, float k, const float* src, int count) const = 0;
    virtual void Mul(float* dst, const float* a, const float* b, int count) const = 0;
    virtual void MulScalar(float* dst, float k, const float* src, int count) const = 0;
    virtual void Div(float* dst, const float* a, const float* b, int count) const = 0;
    virtual void ScalarDiv(float* dst, float k, const float* src, int count) const = 0;
    // dst[i] += a[i] * b[i] and the like; the variants may differ in the last bit.
    virtual void MulAdd(float* dst, const float* a, const float* b, int count) const = 0;
    virtual void MulAddScalar(float* dst, float k, const float* src, int count) const = 0;
    virtual void MulSub(float* dst, const float* a, const float* b, int count) const = 0;
    virtual void MulSubScalar(float* dst, float k, const float* src, int count) const = 0;

    // Dot products; the variants may differ in the last bits.
    // *dst = sum of a[i] * b[i]; 0 when count is 0 or less.
    virtual void DotArrays(float* dst, const float* a, const float* b, int count) const = 0;
    virtual void DotPairs3(float* dst, const SIMDVec3* a, const SIMDVec3* b, int count) const = 0;
    virtual void DotConst4(float* dst, const SIMDVec4* v, const SIMDVec4* a, int count) const = 0;
    // dst[i] = p.xyz . pts[i] + p.w
    virtual void PlaneDistances(float* dst, const SIMDVec4* p, const SIMDVec3* pts,
                                int count) const = 0;
    // dst[i] = planes[i].xyz . pt + planes[i].w
    virtual void PointPlaneDistances(float* dst, const SIMDVec3* pt, const SIMDVec4* planes,
                                     int count) const = 0;
    virtual void DotConst3(float* dst, const SIMDVec3* v, const SIMDVec3* a, int count) const = 0;

    // Compares: dst[i] = 1 or 0. The Bit forms OR the flag shifted left by bit (0 to 7) into the
    // existing byte and never clear bits.
    virtual void CmpGreaterBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                               int count) const = 0;
    virtual void CmpGreater(uint8_t* dst, const float* src, float k, int count) const = 0;
    virtual void CmpGreaterEqualBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                                    int count) const = 0;
    virtual void CmpGreaterEqual(uint8_t* dst, const float* src, float k, int count) const = 0;
    virtual void CmpLessBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                            int count) const = 0;
    virtual void CmpLess(uint8_t* dst, const float* src, float k, int count) const = 0;
    virtual void CmpLessEqualBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                                 int count) const = 0;
    virtual void CmpLessEqual(uint8_t* dst, const float* src, float k, int count) const = 0;

    // Smallest and largest values per component. Minima start at the float nearest 1e30, maxima
    // at its negation; an element replaces one only when strictly smaller (larger), so among
    // equal values (0 and -0) the first one met stays.
    virtual void MinMax3(SIMDVec3* min, SIMDVec3* max, const SIMDVec3* src, int count) const = 0;
    virtual void MinMax2(float* min, float* max, const float* src, int count) const = 0;
    virtual void MinMax(float* min, float* max, const float* src, int count) const = 0;

    // dst[i] = min if src[i] < min, else max if src[i] > max, else src[i] (so with min > max an
    // element below min yields min).
    virtual void Clamp(float* dst, const float* src, float min, float max, int count) const = 0;
    virtual void ClampMin(float* dst, const float* src, float min, int count) const = 0;
    virtual void ClampMax(float* dst, const float* src, float max, int count) const = 0;

    // Raw memory: copies byteCount bytes between areas that do not overlap; fills byteCount bytes
    // with the low 8 bits of value. Written memory is visible to other threads once the call has
    // returned and the caller publishes it.
    virtual void CopyMemory(void* dst, const void* src, int byteCount) const = 0;
    virtual void FillMemory(void* dst, int value, int byteCount) const = 0;

    // The aligned family: every array starts on a 16-byte boundary; exactly count elements are
    // read and written.
    virtual void ZeroAligned(float* dst, int count) const = 0;
    // Flips the sign bit (0 becomes -0, a NaN keeps its payload).
    virtual void NegateAligned(float* dst, int count) const = 0;
    virtual void CopyAligned(float* dst, const float* src, int count) const = 0;
    virtual void AddAligned(float* dst, const float* a, const float* b, int count) const = 0;
    virtual void SubAligned(float* dst, const float* a, const float* b, int count) const = 0;
    virtual void MulScalarAligned(float* dst, const float* src, float k, int count) const = 0;
    virtual void AddInPlaceAligned(float* dst, const float* src, int count) const = 0;
    virtual void SubInPlaceAligned(float* dst, const float* src, int count) const = 0;
    virtual void MulScalarInPlaceAligned(float* dst, float k, int count) const = 0;

    // Matrix products. The shapes come from the matrix arguments; the caller sizes dst. The
    // destination shares no storage with an input. A non-positive output count writes nothing;
    // the sums may differ between variants in the last bits.
    // dst[i] (=, +=, -=) sum over j < m.Cols() of m(i, j) * v[j], for i < m.Rows().
    virtual void MatrixVectorMul(FloatVector& dst, const FloatMatrix& m,
                                 const FloatVector& v) const = 0;
    virtual void MatrixVectorMulAdd(FloatVector& dst, const FloatMatrix& m,
                                    const FloatVector& v) const = 0;
    virtual void MatrixVectorMulSub(FloatVector& dst, const FloatMatrix& m,
                                    const FloatVector& v) const = 0;
    // dst[j] (=, +=, -=) sum over i < m.Rows() of m(i, j) * v[i], for j < m.Cols().
    virtual void MatrixTransposedVectorMul(FloatVector& dst, const FloatMatrix& m,
                                           const FloatVector& v) const = 0;
    virtual void MatrixTransposedVectorMulAdd(FloatVector& dst, const FloatMatrix& m,
                                              const FloatVector& v) const = 0;
    virtual void MatrixTransposedVectorMulSub(FloatVector& dst, const FloatMatrix& m,
                                              const FloatVector& v) const = 0;
    // a.Rows() x b.Cols() values written densely into dst's data (stride b.Cols()); the inner
    // dimension is a.Cols().
    virtual void MatrixMatrixMul(FloatMatrix& dst, const FloatMatrix& a,
                                 const FloatMatrix& b) const = 0;
    // a.Cols() x b.Cols() values of a-transposed times b, densely (stride b.Cols()); the inner
    // dimension is a.Rows().
    virtual void MatrixTransposedMatrixMul(FloatMatrix& dst, const FloatMatrix& a,
                                           const FloatMatrix& b) const = 0;

    // Triangular solves with the unit lower-triangular n x n leading block of l (diagonal taken
    // as 1, nothing above it read). x may be the same array as b.
    // Forward: for i = skip .. n-1, x[i] = b[i] - sum over j < i of l(i, j) * x[j]; x[0 .. skip-1]
    // are read as already solved. skip is 0 or more.
    virtual void SolveLowerTriangular(const FloatMatrix& l, float* x, const float* b, int n,
                                      int skip) const = 0;
    // Backward with the transpose: for i = n-1 down to 0, x[i] = b[i] - sum over j > i of
    // l(j, i) * x[j].
    virtual void SolveLowerTriangularTransposed(const FloatMatrix& l, float* x, const float* b,
                                                int n) const = 0;
    // Factorises the symmetric n x n leading block of m (lower triangle read) in place as L D L^T:
    // L below the diagonal, D on it; invDiag[i] = 1 / D[i]. False at an exactly zero pivot, with
    // the columns before it final and nothing from it on written; true otherwise (also for n of 0
    // or less). A NaN pivot is not zero.
    virtual bool FactorLDLT(FloatMatrix& m, FloatVector& invDiag, int n) const = 0;

    // Sound. Samples are floats on the 16-bit scale; stereo data is interleaved left, right, and
    // numSamples counts values over all channels. Rates other than 11025, 22050 and 44100 write
    // nothing; numChannels 1 is mono, anything else stereo.
    // Repeats each 16-bit value (mono) or frame (stereo) 4, 2 or 1 times.
    virtual void UpsampleInt16To44k(float* dst, const int16_t* src, int numSamples, int rate,
                                    int numChannels) const = 0;
    // As above from one float array per channel (src[0] left or mono, src[1] right), values
    // scaled by 32768.
    virtual void UpsampleFloatTo44k(float* dst, const float* const* src, int numSamples, int rate,
                                    int numChannels) const = 0;
    // Adds one voice into a mix buffer of 4096 frames (2 or 6 floats each) while its per-speaker
    // volume ramps from lastVolumes by (currentVolumes - lastVolumes) / 4096 per frame. Frame k
    // adds input * (last + k * step); numSamples is not read. The variants may differ in the
    // last bits.
    virtual void MixTwoSpeakerMono(float* mixBuffer, const float* samples, int numSamples,
                                   const float* lastVolumes, const float* currentVolumes) const = 0;
    virtual void MixTwoSpeakerStereo(float* mixBuffer, const float* samples, int numSamples,
                                     const float* lastVolumes,
                                     const float* currentVolumes) const = 0;
    // Speakers 0-5 take sample k (mono); stereo: speakers 0, 2, 3, 4 the left, 1 and 5 the right.
    virtual void MixSixSpeakerMono(float* mixBuffer, const float* samples, int numSamples,
                                   const float* lastVolumes, const float* currentVolumes) const = 0;
    virtual void MixSixSpeakerStereo(float* mixBuffer, const float* samples, int numSamples,
                                     const float* lastVolumes,
                                     const float* currentVolumes) const = 0;
    // Clamps to -32768 .. 32767. The generic, MMX and 3DNow! variants truncate toward zero; the
    // SSE, SSE2 and SSE3 variants round to nearest, ties to even. NaN gives 0.
    virtual void FloatToInt16(int16_t* dst, const float* src, int count) const = 0;

protected:
    ZelSIMDProcessor() = default;
    // Processors are never deleted through this interface.
    ~ZelSIMDProcessor() = default;

private:
    uint32_t features_ = 0;
};

// The process-wide choice. All of it runs on the host thread during start-up.

// Makes the generic processor (flag word 2) the active one and clears the choice. Answers true.
bool InitSIMDProcessor();

// Identifies the processor and picks a variant from its confirmed features: MMX, SSE, SSE2 and
// SSE3 give SSE3; otherwise no MMX gives the generic processor; otherwise SSE and SSE2 give SSE2,
// SSE alone SSE, 3DNow! 3DNow!, else MMX. The chosen processor takes the flag word of those
// features and becomes active. The first argument is ignored. With forceGeneric the generic
// processor becomes active and nothing else changes; once a processor has been chosen, later
// unforced calls make it active again without choosing anew.
void ChooseSIMDProcessor(int ignored, bool forceGeneric);

// The active processor: null before InitSIMDProcessor.
ZelSIMDProcessor* GetActiveSIMDProcessor();

// Start-up: InitSIMDProcessor, ChooseSIMDProcessor(0, false), then, when a processor is active,
// one log line of the engine start-up type naming it. Answers the active processor.
ZelSIMDProcessor* SetupSIMDProcessor();

// Back to the state before InitSIMDProcessor (no processor active or chosen). For tests.
void ResetSIMDProcessorsForTesting();

}  // namespace Zel
