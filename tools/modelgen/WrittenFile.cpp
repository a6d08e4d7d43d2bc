#include "modelgen/WrittenFile.h"

#include <stdexcept>

#include "fixtures/ByteWriter.h"

namespace ZelModelGen {

const Section* WrittenFile::Find(const std::string& path) const {
    for (const Section& s : sections)
        if (s.path == path) return &s;
    return nullptr;
}

std::size_t WrittenFile::Offset(const std::string& path) const {
    const Section* s = Find(path);
    if (!s) throw std::out_of_range("no section " + path);
    return s->offset;
}

bool WrittenFile::Save(const std::string& path) const {
    ZelFixtures::ByteWriter out;
    out.Bytes(bytes.data(), bytes.size());
    return out.Save(path);
}

}  // namespace ZelModelGen
