// The stdio chunk model file (".dm2"; a ".ch2" has the same layout) written from a geometry
// description: a header chunk, one chunk per material library, an optional extra chunk, then at
// the offset the header gives a geometry chunk followed by one mesh chunk per part (each part's
// own mesh). Paths: "header", "libraryN", "extra", "geometry", "meshN" with data sections
// "meshN#groups", "meshN#vertices" and "meshN#indices".
//
// Layout choices where the format leaves room:
// - The header body is 64 bytes: word 1 the geometry chunk's file offset, word 2 the extra-chunk
//   flag, word 5 the library count, the rest 0.
// - A library chunk (tag 2) has the name and its NUL as body (the plan's dropNul on "libraryN"
//   drops the NUL); the extra chunk has tag 0. The format reads neither tag.
// - The geometry body is 1080 bytes: five header words at 0, the mesh count at 44, the sixteen
//   matrices at 52 row-major as the matrix table holds them (they are copied, not transposed), the
//   matrix count at 1076.
// - A mesh body is 412 bytes: the fields of the mesh record up to offset 156 and a 256-byte name
//   field (NUL-padded; a name of 256 characters or more fills it without a NUL). The mesh matrix is
//   stored column by column. The vertex block holds positions, normals, texture coordinates
//   (v written as 1 - v, since the reader flips it) and colours (red in the low byte) in that order.
// - Render group entries are {type, index count, start byte, fifth word}: type 5 for a strip
//   (primitive code 4) and 4 for everything else; the draw count is not stored.
#pragma once

#include <cstdint>
#include <vector>

#include "modelgen/FaultPlan.h"
#include "modelgen/GeometryDescription.h"
#include "modelgen/WrittenFile.h"

namespace ZelModelGen {

struct Dm2Options {
    std::uint32_t headerTag = 1;    // any value is accepted by the format
    std::uint32_t geometryTag = 3;  // 3, 5, 7 or 16
    bool extraChunk = false;
    std::vector<std::uint8_t> extraBytes;  // the extra chunk's body
};

WrittenFile WriteDm2File(const GeometryDesc& g, const Dm2Options& options = Dm2Options(),
                         const FaultPlan& faults = FaultPlan());

}  // namespace ZelModelGen
