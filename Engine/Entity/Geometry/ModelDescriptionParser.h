// Parsers of the model description files: the sectioned text forms ".dml" (also ".anm") and
// ".chr", and the XML forms of plain, skinned and level geometry. Every file a description names
// is resolved against the description's directory: directory + "/" + name, unless the name holds
// ".." or ":" (then it stands as written) or the description has no directory (then the name is
// taken relative to the working directory, where the description itself is).
//
// Each parser answers false for a file it cannot open, a document that does not load or a missing
// required section, element or attribute; what was filled before the failure stays in the record
// and the caller discards it. Only the ".chr" parser logs (its open failure). Text lines are read
// as the fixed-size line buffer of the format gives them (a longer line continues as the next
// line) with "\r" dropped at their ends; XML documents are loaded through the XML manager of
// Globals. Loading thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace Zel {

class TiXmlDocument;
struct GeometryDescription;
struct SkinDescription;
struct StaticGeometryDescription;

// Runs read over the XML document of the path, held through the XML manager for the call; false
// without a manager or when the document does not load.
bool WithXmlDocument(const std::string& path,
                     const std::function<bool(const TiXmlDocument&)>& read);

// ".dml"/".anm": "[GEOMETRY MESH]" names the mesh on the next line, each "[SHADER]" adds the
// material library on the next line; lines holding '#' are skipped. Both sections are required.
bool ParseDmlDescription(const std::string& path, GeometryDescription& description);
// ".chr": "[SKELETON]", "[SKIN]", "[SHADER]" (the library with its extension made ".xml") and
// "[ANIMATION]" ("name file") as the first token of a line; lines holding '#' or "//" are
// skipped. All four are required.
bool ParseChrDescription(const std::string& path, SkinDescription& description);
// <Entity><Geometry Path/><Material Path/></Entity>.
bool ParseXmlDescription(const std::string& path, GeometryDescription& description);
// <Entity> with Geometry, Material and Skeleton (each with Path) and Animation, whose Entry
// elements with Name and Path add the animations (an entry lacking either is skipped).
bool ParseSkinXmlDescription(const std::string& path, SkinDescription& description);
// A level: <Entity><Geometry Path/><Material Path/></Entity>, else
// <Scene><Mesh PATH/><Shader PATH/></Scene>. Names that do not contain ".xml" fail.
bool ParseStaticXmlDescription(const std::string& path, StaticGeometryDescription& description);

// By the name: ".xml" to the XML parser, ".dml" to the ".dml" parser; anything else fails.
bool ParseGeometryDescription(const std::string& path, GeometryDescription& description);
// ".xml" to the skinned XML parser, ".chr" to the ".chr" parser.
bool ParseSkinDescription(const std::string& path, SkinDescription& description);
// ".xml" to the XML parser, ".anm" to the ".dml" parser.
bool ParseDeformedDescription(const std::string& path, GeometryDescription& description);

// The same parses over text or a parsed document already in memory; `directory` is the
// description's directory (empty when it has none).
bool ParseDmlText(std::string_view text, const std::string& directory,
                  GeometryDescription& description);
bool ParseChrText(std::string_view text, const std::string& directory,
                  SkinDescription& description);
bool ReadEntityDocument(const TiXmlDocument& document, const std::string& directory,
                        GeometryDescription& description);
bool ReadSkinEntityDocument(const TiXmlDocument& document, const std::string& directory,
                            SkinDescription& description);
bool ReadStaticDocument(const TiXmlDocument& document, const std::string& directory,
                        StaticGeometryDescription& description);

}  // namespace Zel
