// The portable processor: plain scalar loops, the reference every other variant matches. Sums of
// several terms (multiply-add, dot products, matrix sums, volume ramps) are formed in double and
// rounded to float once, when stored; single operations round once either way.
#pragma once

#include "Math/ZelSIMDProcessor.h"

namespace Zel {

class ZelSIMD_Generic : public ZelSIMDProcessor {
public:
    ZelSIMD_Generic() = default;

    const char* GetName() const override;
    void Add(float* dst, const float* a, const float* b, int count) const override;
    void AddScalar(float* dst, float k, const float* src, int count) const override;
    void Sub(float* dst, const float* a, const float* b, int count) const override;
    void ScalarSub(float* dst, float k, const float* src, int count) const override;
    void Mul(float* dst, const float* a, const float* b, int count) const override;
    void MulScalar(float* dst, float k, const float* src, int count) const override;
    void Div(float* dst, const float* a, const float* b, int count) const override;
    void ScalarDiv(float* dst, float k, const float* src, int count) const override;
    void MulAdd(float* dst, const float* a, const float* b, int count) const override;
    void MulAddScalar(float* dst, float k, const float* src, int count) const override;
    void MulSub(float* dst, const float* a, const float* b, int count) const override;
    void MulSubScalar(float* dst, float k, const float* src, int count) const override;
    void DotArrays(float* dst, const float* a, const float* b, int count) const override;
    void DotPairs3(float* dst, const SIMDVec3* a, const SIMDVec3* b, int count) const override;
    void DotConst4(float* dst, const SIMDVec4* v, const SIMDVec4* a, int count) const override;
    void PlaneDistances(float* dst, const SIMDVec4* p, const SIMDVec3* pts,
                        int count) const override;
    void PointPlaneDistances(float* dst, const SIMDVec3* pt, const SIMDVec4* planes,
                             int count) const override;
    void DotConst3(float* dst, const SIMDVec3* v, const SIMDVec3* a, int count) const override;
    void CmpGreaterBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                       int count) const override;
    void CmpGreater(uint8_t* dst, const float* src, float k, int count) const override;
    void CmpGreaterEqualBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                            int count) const override;
    void CmpGreaterEqual(uint8_t* dst, const float* src, float k, int count) const override;
    void CmpLessBit(uint8_t* dst, uint8_t bit, const float* src, float k, int count) const override;
    void CmpLess(uint8_t* dst, const float* src, float k, int count) const override;
    void CmpLessEqualBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                         int count) const override;
    void CmpLessEqual(uint8_t* dst, const float* src, float k, int count) const override;
    void MinMax3(SIMDVec3* min, SIMDVec3* max, const SIMDVec3* src, int count) const override;
    void MinMax2(float* min, float* max, const float* src, int count) const override;
    void MinMax(float* min, float* max, const float* src, int count) const override;
    void Clamp(float* dst, const float* src, float min, float max, int count) const override;
    void ClampMin(float* dst, const float* src, float min, int count) const override;
    void ClampMax(float* dst, const float* src, float max, int count) const override;
    void CopyMemory(void* dst, const void* src, int byteCount) const override;
    void FillMemory(void* dst, int value, int byteCount) const override;
    void ZeroAligned(float* dst, int count) const override;
    void NegateAligned(float* dst, int count) const override;
    void CopyAligned(float* dst, const float* src, int count) const override;
    void AddAligned(float* dst, const float* a, const float* b, int count) const override;
    void SubAligned(float* dst, const float* a, const float* b, int count) const override;
    void MulScalarAligned(float* dst, const float* src, float k, int count) const override;
    void AddInPlaceAligned(float* dst, const float* src, int count) const override;
    void SubInPlaceAligned(float* dst, const float* src, int count) const override;
    void MulScalarInPlaceAligned(float* dst, float k, int count) const override;
    void MatrixVectorMul(FloatVector& dst, const FloatMatrix& m,
                         const FloatVector& v) const override;
    void MatrixVectorMulAdd(FloatVector& dst, const FloatMatrix& m,
                            const FloatVector& v) const override;
    void MatrixVectorMulSub(FloatVector& dst, const FloatMatrix& m,
                            const FloatVector& v) const override;
    void MatrixTransposedVectorMul(FloatVector& dst, const FloatMatrix& m,
                                   const FloatVector& v) const override;
    void MatrixTransposedVectorMulAdd(FloatVector& dst, const FloatMatrix& m,
                                      const FloatVector& v) const override;
    void MatrixTransposedVectorMulSub(FloatVector& dst, const FloatMatrix& m,
                                      const FloatVector& v) const override;
    void MatrixMatrixMul(FloatMatrix& dst, const FloatMatrix& a,
                         const FloatMatrix& b) const override;
    void MatrixTransposedMatrixMul(FloatMatrix& dst, const FloatMatrix& a,
                                   const FloatMatrix& b) const override;
    void SolveLowerTriangular(const FloatMatrix& l, float* x, const float* b, int n,
                              int skip) const override;
    void SolveLowerTriangularTransposed(const FloatMatrix& l, float* x, const float* b,
                                        int n) const override;
    bool FactorLDLT(FloatMatrix& m, FloatVector& invDiag, int n) const override;
    void UpsampleInt16To44k(float* dst, const int16_t* src, int numSamples, int rate,
                            int numChannels) const override;
    void UpsampleFloatTo44k(float* dst, const float* const* src, int numSamples, int rate,
                            int numChannels) const override;
    void MixTwoSpeakerMono(float* mixBuffer, const float* samples, int numSamples,
                           const float* lastVolumes, const float* currentVolumes) const override;
    void MixTwoSpeakerStereo(float* mixBuffer, const float* samples, int numSamples,
                             const float* lastVolumes, const float* currentVolumes) const override;
    void MixSixSpeakerMono(float* mixBuffer, const float* samples, int numSamples,
                           const float* lastVolumes, const float* currentVolumes) const override;
    void MixSixSpeakerStereo(float* mixBuffer, const float* samples, int numSamples,
                             const float* lastVolumes, const float* currentVolumes) const override;
    void FloatToInt16(int16_t* dst, const float* src, int count) const override;
};

}  // namespace Zel
