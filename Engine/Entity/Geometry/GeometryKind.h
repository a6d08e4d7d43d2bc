// The geometry kinds: which geometry class a model file becomes. GeometryManager creates the class
// of a kind; a file name gives its kind by the extension it contains.
#pragma once

#include <cstdint>
#include <string_view>

namespace Zel {

enum GeometryKind : std::uint32_t {
    GEOMETRY_KIND_DML = 0,  // plain geometry from a text or XML description (also entity loading)
    GEOMETRY_KIND_DM2 = 1,
    GEOMETRY_KIND_DM3 = 2,
    GEOMETRY_KIND_STATIC = 3,  // level geometry: any name without a known extension
    GEOMETRY_KIND_CHR = 4,
    GEOMETRY_KIND_CH2 = 5,
    GEOMETRY_KIND_CH3 = 6,
    GEOMETRY_KIND_DEFORMED = 7,  // 7-9: only asked for explicitly
    GEOMETRY_KIND_ACT = 10,
    GEOMETRY_KIND_AC2 = 11,
    GEOMETRY_KIND_AC3 = 12,
    GEOMETRY_KIND_CLOTH_XML = 13,
    GEOMETRY_KIND_CL3 = 14,
    GEOMETRY_KIND_BODY_PART = 15,
    GEOMETRY_KIND_BODY_PART4 = 16,
    GEOMETRY_KIND_BODY_PART5 = 17,
    GEOMETRY_KIND_NEW_CLOTH = 18,
    GEOMETRY_KIND_SIMP_STATIC = 19,
    GEOMETRY_KIND_COUNT = 20,
};

// The first of ".dml" 0, ".dm2" 1, ".dm3" 2, ".chr" 4, ".ch2" 5, ".ch3" 6, ".act" 10, ".ac2" 11,
// ".ac3" 12, ".xml" 13, ".cl3" 14, ".bp3"/".bp4"/".bp5" 15 that the name contains anywhere, in all
// lower or all upper case (".Dml" matches nothing); 3 when none does.
std::uint32_t GetGeometryKindByName(std::string_view name);

}  // namespace Zel
