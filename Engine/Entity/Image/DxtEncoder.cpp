#include "Entity/Image/DxtEncoder.h"

#include <emmintrin.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "Entity/Image/PixelFormat.h"

namespace Zel {
namespace {

struct Colour {
    int c[3];  // R, G, B
};

// The valid part of one 4x4 tile as R, G, B, A; positions outside it are never read.
struct WorkBlock {
    std::uint8_t pixel[16][4];
    int columns;
    int rows;

    template <typename Visit>
    void ForEachValid(Visit visit) const {
        for (int row = 0; row < rows; ++row)
            for (int col = 0; col < columns; ++col) visit(row * 4 + col);
    }
    Colour ColourAt(int i) const { return {{pixel[i][0], pixel[i][1], pixel[i][2]}}; }
};

int Brightness(const Colour& a) {
    return 4 * a.c[0] * a.c[0] + 16 * a.c[1] * a.c[1] + a.c[2] * a.c[2];
}

std::uint16_t To565(const Colour& a) {
    return static_cast<std::uint16_t>((a.c[0] >> 3) << 11 | (a.c[1] >> 2) << 5 | (a.c[2] >> 3));
}

Colour Quantised(const Colour& a) {
    return {{a.c[0] & 0xF8, a.c[1] & 0xFC, a.c[2] & 0xF8}};
}

Colour Mix(const Colour& a, int wa, const Colour& b, int wb, int divisor) {
    Colour out;
    for (int ch = 0; ch < 3; ++ch) out.c[ch] = (wa * a.c[ch] + wb * b.c[ch]) / divisor;
    return out;
}

// The 16 positions of a tile as 16-bit R, G and B lanes, eight per vector; positions outside the
// valid part hold whatever the tile holds there and their results are never read.
struct Planes {
    __m128i c[3][2];
};

Planes Split(const WorkBlock& block) {
    Planes p;
    alignas(16) std::int16_t lanes[3][16];
    for (int i = 0; i < 16; ++i)
        for (int ch = 0; ch < 3; ++ch) lanes[ch][i] = block.pixel[i][ch];
    for (int ch = 0; ch < 3; ++ch)
        for (int h = 0; h < 2; ++h)
            p.c[ch][h] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes[ch] + 8 * h));
    return p;
}

// Distance (the colour metric) of all 16 positions to one colour, four positions per vector:
// 4 dr² + 16 dg² as one multiply-add of (dr, dg) pairs with (4 dr, 16 dg), plus db².
void Distances(const Planes& p, const Colour& colour, __m128i out[4]) {
    const __m128i zero = _mm_setzero_si128();
    for (int h = 0; h < 2; ++h) {
        const __m128i dr = _mm_sub_epi16(p.c[0][h], _mm_set1_epi16(std::int16_t(colour.c[0])));
        const __m128i dg = _mm_sub_epi16(p.c[1][h], _mm_set1_epi16(std::int16_t(colour.c[1])));
        const __m128i db = _mm_sub_epi16(p.c[2][h], _mm_set1_epi16(std::int16_t(colour.c[2])));
        const __m128i wr = _mm_slli_epi16(dr, 2), wg = _mm_slli_epi16(dg, 4);
        const __m128i rgLo = _mm_madd_epi16(_mm_unpacklo_epi16(dr, dg), _mm_unpacklo_epi16(wr, wg));
        const __m128i rgHi = _mm_madd_epi16(_mm_unpackhi_epi16(dr, dg), _mm_unpackhi_epi16(wr, wg));
        const __m128i bLo = _mm_unpacklo_epi16(db, zero), bHi = _mm_unpackhi_epi16(db, zero);
        out[2 * h] = _mm_add_epi32(rgLo, _mm_madd_epi16(bLo, bLo));
        out[2 * h + 1] = _mm_add_epi32(rgHi, _mm_madd_epi16(bHi, bHi));
    }
}

// Nearest palette entry of every position by the colour metric, and its distance; the first of
// equal distances wins.
void Nearest(const Planes& p, const Colour* palette, int entries, int entry[16], int distance[16]) {
    __m128i best[4], index[4], d[4];
    Distances(p, palette[0], best);
    for (auto& v : index) v = _mm_setzero_si128();
    for (int e = 1; e < entries; ++e) {
        Distances(p, palette[e], d);
        const __m128i number = _mm_set1_epi32(e);
        for (int k = 0; k < 4; ++k) {
            const __m128i closer = _mm_cmplt_epi32(d[k], best[k]);
            best[k] = _mm_or_si128(_mm_and_si128(closer, d[k]), _mm_andnot_si128(closer, best[k]));
            index[k] =
                _mm_or_si128(_mm_and_si128(closer, number), _mm_andnot_si128(closer, index[k]));
        }
    }
    for (int k = 0; k < 4; ++k) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(entry + 4 * k), index[k]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(distance + 4 * k), best[k]);
    }
}

// Endpoint search: the brightest and darkest pixels, one refinement step toward the pixels each
// palette entry takes, and a push apart of endpoints too close to interpolate. Answers the
// endpoints with the larger 5:6:5 value first.
void FindEndpoints(const WorkBlock& block, const Planes& planes, Colour& first, Colour& second) {
    Colour bright = block.ColourAt(0), dark = bright;
    int maxKey = Brightness(bright), minKey = maxKey;
    block.ForEachValid([&](int i) {
        const Colour p = block.ColourAt(i);
        const int key = Brightness(p);
        if (key > maxKey) {
            maxKey = key;
            bright = p;
        } else if (key < minKey) {
            minKey = key;
            dark = p;
        }
    });
    Colour a = bright, b = dark;
    if (To565(b) > To565(a))
        std::swap(a, b);

    const Colour palette[4] = {a, b, Mix(a, 2, b, 1, 3), Mix(a, 1, b, 2, 3)};
    static constexpr int kWeightA[4] = {3, 0, 2, 1};
    static constexpr int kWeightB[4] = {0, 3, 1, 2};
    int sumA[3] = {}, sumB[3] = {}, countA = 0, countB = 0;
    int entries[16], distances[16];
    Nearest(planes, palette, 4, entries, distances);
    block.ForEachValid([&](int i) {
        const Colour p = block.ColourAt(i);
        const int entry = entries[i];
        for (int ch = 0; ch < 3; ++ch) {
            const int diff = p.c[ch] - palette[entry].c[ch];
            sumA[ch] += kWeightA[entry] * diff;
            sumB[ch] += kWeightB[entry] * diff;
        }
        countA += kWeightA[entry];
        countB += kWeightB[entry];
    });
    if (countA == 0)
        countA = 1;
    if (countB == 0)
        countB = 1;
    for (int ch = 0; ch < 3; ++ch) {
        a.c[ch] = std::clamp(a.c[ch] + sumA[ch] / countA, 0, 255);
        b.c[ch] = std::clamp(b.c[ch] + sumB[ch] / countB, 0, 255);
    }

    const int spreadR = std::abs(a.c[0] - b.c[0]);
    const int spreadG = std::abs(a.c[1] - b.c[1]);
    const int spreadB = std::abs(a.c[2] - b.c[2]);
    if (spreadR < 8 && spreadG < 4 && spreadB < 8) {
        const int largest = std::max({spreadR, 2 * spreadG, spreadB});
        const int step = largest > 4 ? 2 : largest >= 3 ? 3 : 4;
        // On a tie the spread is 0 and nothing grows, so the tie rule does not matter.
        Colour& greener = a.c[1] > b.c[1] ? a : b;
        greener.c[1] = std::min(255, greener.c[1] + 2 * spreadG * step);
        Colour& redder = a.c[0] > b.c[0] ? a : b;
        redder.c[0] = std::min(255, redder.c[0] + spreadR * step);
        Colour& bluer = a.c[2] > b.c[2] ? a : b;
        bluer.c[2] = std::min(255, bluer.c[2] + spreadB * step);
    }
    if (To565(b) > To565(a))
        std::swap(a, b);
    first = a;
    second = b;
}

void PutLe16(std::uint8_t* out, std::uint16_t v) {
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Writes the 8-byte colour block. DXT1 may take the three-colour order when it fits better; DXT3
// and DXT5 decode every colour block with four colours, so they always take four-colour order.
void WriteColourBlock(const WorkBlock& block, const Planes& planes, const Colour& e0,
                      const Colour& e1, bool allowThreeColour, std::uint8_t* out) {
    Colour c0 = Quantised(e0), c1 = Quantised(e1);
    std::uint16_t v0 = To565(e0), v1 = To565(e1);
    if (v1 > v0) {
        std::swap(c0, c1);
        std::swap(v0, v1);
    }
    const Colour four[4] = {c0, c1, Mix(c0, 2, c1, 1, 3), Mix(c0, 1, c1, 2, 3)};
    std::uint32_t fourIndices = 0;
    long long errorFour = 0;
    int entries[16], distances[16];
    Nearest(planes, four, 4, entries, distances);
    block.ForEachValid([&](int i) {
        fourIndices |= std::uint32_t(entries[i]) << (2 * i);
        errorFour += distances[i];
    });

    if (allowThreeColour) {
        const Colour three[3] = {c0, c1, Mix(c0, 1, c1, 1, 2)};
        static constexpr std::uint32_t kSwapped[3] = {1, 0, 2};
        std::uint32_t threeIndices = 0;
        long long errorThree = 0;
        Nearest(planes, three, 3, entries, distances);
        block.ForEachValid([&](int i) {
            threeIndices |= kSwapped[entries[i]] << (2 * i);
            errorThree += distances[i];
        });
        if (errorFour > errorThree) {
            PutLe16(out, v1);
            PutLe16(out + 2, v0);
            PutLe32(out + 4, threeIndices);
            return;
        }
    }
    PutLe16(out, v0);
    PutLe16(out + 2, v1);
    PutLe32(out + 4, fourIndices);
}

void WriteDxt3Alpha(const WorkBlock& block, std::uint8_t* out) {
    std::uint8_t nibbles[16] = {};
    block.ForEachValid([&](int i) { nibbles[i] = block.pixel[i][3] >> 4; });
    for (int k = 0; k < 8; ++k)
        out[k] = static_cast<std::uint8_t>(nibbles[2 * k + 1] << 4 | nibbles[2 * k]);
}

// One DXT5 alpha encoding: endpoints as stored and the index of each of the 16 positions.
struct AlphaEncoding {
    int alpha0 = 0, alpha1 = 0;
    int index[16] = {};
    long long error = LLONG_MAX;
};

// Six-value palette for stored endpoints lo <= hi: lo, hi, four steps between, then 0 and 255.
void SixValuePalette(int lo, int hi, int values[8]) {
    values[0] = lo;
    values[1] = hi;
    for (int j = 2; j <= 5; ++j) values[j] = ((6 - j) * lo + (j - 1) * hi) / 5;
    values[6] = 0;
    values[7] = 255;
}

// Index of an alpha among lo, the inner steps and hi by the six-value thresholds.
int SixValueIndex(int a, int lo, int hi) {
    int t[5];
    for (int k = 0; k < 5; ++k) t[k] = (lo * (9 - 2 * k) + hi * (1 + 2 * k)) / 10;
    if (a <= t[0])
        return 0;
    if (a <= t[1])
        return 2;
    if (a <= t[2])
        return 3;
    if (a <= t[3])
        return 4;
    if (a > t[4])
        return 1;
    return 5;
}

long long SquaredError(const WorkBlock& block, const AlphaEncoding& e, const int values[8]) {
    long long error = 0;
    block.ForEachValid([&](int i) {
        const int d = block.pixel[i][3] - values[e.index[i]];
        error += d * d;
    });
    return error;
}

void WriteDxt5Alpha(const WorkBlock& block, std::uint8_t* out) {
    bool hasZero = false, hasFull = false;
    int minMid = 256, maxMid = -1;
    block.ForEachValid([&](int i) {
        const int a = block.pixel[i][3];
        if (a == 0) {
            hasZero = true;
        } else if (a == 255) {
            hasFull = true;
        } else {
            minMid = std::min(minMid, a);
            maxMid = std::max(maxMid, a);
        }
    });
    const bool hasMid = maxMid >= 0;

    AlphaEncoding chosen;
    if (!hasMid && !(hasZero && hasFull)) {
        chosen.alpha0 = block.pixel[0][3];
        chosen.alpha1 = 0;
    } else {
        AlphaEncoding eight;
        const int hi = hasFull ? 255 : maxMid;
        const int lo = hasZero ? 0 : minMid;
        int t[7];
        for (int k = 0; k < 7; ++k) t[k] = (hi * (13 - 2 * k) + lo * (1 + 2 * k)) / 14;
        int values[8] = {hi, lo};
        for (int j = 2; j < 8; ++j) values[j] = ((8 - j) * hi + (j - 1) * lo) / 7;
        eight.alpha0 = hi;
        eight.alpha1 = lo;
        block.ForEachValid([&](int i) {
            const int a = block.pixel[i][3];
            int index = 1;
            if (a > t[0]) {
                index = 0;
            } else {
                for (int k = 1; k < 7; ++k) {
                    if (a > t[k]) {
                        index = k + 1;
                        break;
                    }
                }
            }
            eight.index[i] = index;
        });
        eight.error = SquaredError(block, eight, values);
        chosen = eight;

        if (eight.error >= 32) {
            AlphaEncoding sixA;
            sixA.alpha0 = minMid;
            sixA.alpha1 = maxMid;
            int sixValues[8];
            SixValuePalette(minMid, maxMid, sixValues);
            block.ForEachValid([&](int i) {
                const int a = block.pixel[i][3];
                sixA.index[i] = a == 0 ? 6 : a == 255 ? 7 : SixValueIndex(a, minMid, maxMid);
            });
            sixA.error = SquaredError(block, sixA, sixValues);

            AlphaEncoding sixB;  // error stays the largest value unless this try runs
            if (eight.error >= 97 && sixA.error >= 97) {
                // Endpoints from the in-between alphas well away from 0 and 255, then one
                // refinement step toward the pixels they take.
                const int margin = (maxMid - minMid) / 7;
                int lo = 256, hi = -1;
                block.ForEachValid([&](int i) {
                    const int a = block.pixel[i][3];
                    if (a > 0 && a < 255 && a > margin && 255 - a > margin) {
                        lo = std::min(lo, a);
                        hi = std::max(hi, a);
                    }
                });
                if (hi <= lo) {
                    lo = 1;
                    hi = 254;
                }
                int palette[8];
                SixValuePalette(lo, hi, palette);
                int sumLo = 0, sumHi = 0, countLo = 0, countHi = 0;
                block.ForEachValid([&](int i) {
                    const int a = block.pixel[i][3];
                    if (a <= 0 || a >= 255 || a <= lo / 2 || a > (hi + 255) / 2)
                        return;
                    const int entry = SixValueIndex(a, lo, hi);
                    const int diff = a - palette[entry];
                    if (entry == 0) {
                        sumLo += diff;
                        ++countLo;
                    } else if (entry == 1) {
                        sumHi += diff;
                        ++countHi;
                    } else {
                        sumLo += diff;
                        sumHi += diff;
                        ++countLo;
                        ++countHi;
                    }
                });
                lo = std::clamp(lo + sumLo / std::max(countLo, 1), 0, 255);
                hi = std::clamp(hi + sumHi / std::max(countHi, 1), 0, 255);
                // Stored endpoints in the wrong order would decode as the eight-value mode.
                if (lo <= hi) {
                    SixValuePalette(lo, hi, palette);
                    sixB.alpha0 = lo;
                    sixB.alpha1 = hi;
                    block.ForEachValid([&](int i) {
                        const int a = block.pixel[i][3];
                        sixB.index[i] = a <= lo / 2          ? 6
                                        : a > (hi + 255) / 2 ? 7
                                                             : SixValueIndex(a, lo, hi);
                    });
                    sixB.error = SquaredError(block, sixB, palette);
                }
            }
            if (eight.error > sixA.error || eight.error > sixB.error)
                chosen = sixA.error > sixB.error ? sixB : sixA;
        }
    }

    out[0] = static_cast<std::uint8_t>(chosen.alpha0);
    out[1] = static_cast<std::uint8_t>(chosen.alpha1);
    std::uint64_t bits = 0;
    block.ForEachValid([&](int i) { bits |= std::uint64_t(chosen.index[i]) << (3 * i); });
    for (int k = 0; k < 6; ++k) out[2 + k] = static_cast<std::uint8_t>(bits >> (8 * k));
}

}  // namespace

bool DxtEncodeImage(int mode, const std::uint8_t* source, std::uint32_t width, std::uint32_t height,
                    std::uint32_t format, std::uint8_t* destination) {
    const bool dxt1 = format == PF_DXT1;
    if (!((mode == 1 && (dxt1 || format == PF_DXT3 || format == PF_DXT5)) || (mode == 2 && dxt1)))
        return false;
    if (source == nullptr || destination == nullptr || width == 0 || height == 0)
        return false;

    const std::size_t blockBytes = dxt1 ? 8 : 16;
    const std::uint32_t columns = (width + 3) / 4, rows = (height + 3) / 4;
    std::uint8_t* out = destination;
    for (std::uint32_t by = 0; by < rows; ++by) {
        for (std::uint32_t bx = 0; bx < columns; ++bx, out += blockBytes) {
            WorkBlock block{};
            block.columns = static_cast<int>(std::min<std::uint32_t>(4, width - bx * 4));
            block.rows = static_cast<int>(std::min<std::uint32_t>(4, height - by * 4));
            block.ForEachValid([&](int i) {
                const std::uint8_t* p =
                    source + 4 * ((std::size_t(by) * 4 + i / 4) * width + bx * 4 + i % 4);
                block.pixel[i][0] = p[2];
                block.pixel[i][1] = p[1];
                block.pixel[i][2] = p[0];
                block.pixel[i][3] = mode == 2 ? 255 : p[3];
            });
            const Planes planes = Split(block);
            Colour e0, e1;
            FindEndpoints(block, planes, e0, e1);
            if (dxt1) {
                WriteColourBlock(block, planes, e0, e1, true, out);
            } else {
                if (format == PF_DXT3) {
                    WriteDxt3Alpha(block, out);
                } else {
                    WriteDxt5Alpha(block, out);
                }
                WriteColourBlock(block, planes, e0, e1, false, out + 8);
            }
        }
    }
    return true;
}

}  // namespace Zel
