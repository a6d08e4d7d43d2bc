#include "Entity/Geometry/GeometryKind.h"

namespace Zel {

std::uint32_t GetGeometryKindByName(std::string_view name) {
    struct Entry {
        const char* lower;
        const char* upper;
        std::uint32_t kind;
    };
    static constexpr Entry kTable[] = {
        {".dml", ".DML", GEOMETRY_KIND_DML},       {".dm2", ".DM2", GEOMETRY_KIND_DM2},
        {".dm3", ".DM3", GEOMETRY_KIND_DM3},       {".chr", ".CHR", GEOMETRY_KIND_CHR},
        {".ch2", ".CH2", GEOMETRY_KIND_CH2},       {".ch3", ".CH3", GEOMETRY_KIND_CH3},
        {".act", ".ACT", GEOMETRY_KIND_ACT},       {".ac2", ".AC2", GEOMETRY_KIND_AC2},
        {".ac3", ".AC3", GEOMETRY_KIND_AC3},       {".xml", ".XML", GEOMETRY_KIND_CLOTH_XML},
        {".cl3", ".CL3", GEOMETRY_KIND_CL3},       {".bp3", ".BP3", GEOMETRY_KIND_BODY_PART},
        {".bp4", ".BP4", GEOMETRY_KIND_BODY_PART}, {".bp5", ".BP5", GEOMETRY_KIND_BODY_PART},
    };
    for (const Entry& e : kTable)
        if (name.find(e.lower) != std::string_view::npos ||
            name.find(e.upper) != std::string_view::npos)
            return e.kind;
    return GEOMETRY_KIND_STATIC;
}

}  // namespace Zel
