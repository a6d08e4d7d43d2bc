#include "modelgen/ModelGenCommand.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>

#include "modelgen/ChunkDump.h"
#include "modelgen/Recipes.h"

namespace ZelModelGen {

namespace {

const char kUsage[] =
    "usage: modelgen write <recipe> <folder> [--meshes N] [--subdivisions N] [--narrow] "
    "[--tiles N] [--lf] [--figure]\n"
    "       modelgen dump <file> [<companion>]\n"
    "       modelgen list\n";

bool ParseCount(const std::string& text, std::uint32_t& value) {
    auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool IsStdioChunkName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name.find(".dm2") != std::string::npos || name.find(".ch2") != std::string::npos;
}

int Write(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 3) {
        err << kUsage;
        return 2;
    }
    RecipeOptions options;
    for (std::size_t i = 3; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::uint32_t* target = a == "--meshes" ? &options.meshCount
                                : a == "--subdivisions" ? &options.subdivisions
                                : a == "--tiles" ? &options.tiles
                                                 : nullptr;
        if (target) {
            if (i + 1 >= args.size() || !ParseCount(args[i + 1], *target)) {
                err << "modelgen: " << a << " needs a count\n";
                return 2;
            }
            ++i;
        } else if (a == "--narrow") {
            options.wide = false;
        } else if (a == "--lf") {
            options.text.crlf = false;
        } else if (a == "--figure") {
            options.actorLook = ActorLook::Figure;
        } else {
            err << "modelgen: unknown option " << a << "\n" << kUsage;
            return 2;
        }
    }
    std::string error;
    std::vector<RecipeFile> files;
    if (!SaveRecipe(args[1], args[2], options, files, error)) {
        err << "modelgen: " << error << "\n";
        return 2;
    }
    for (const RecipeFile& f : files)
        out << f.name << " " << f.file.bytes.size() << "\n";
    return 0;
}

int Dump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2 || args.size() > 3) {
        err << kUsage;
        return 2;
    }
    std::vector<std::uint8_t> bytes, companion;
    if (!ReadFile(args[1], bytes)) {
        err << "modelgen: cannot read " << args[1] << "\n";
        return 2;
    }
    if (args.size() == 3 && !ReadFile(args[2], companion)) {
        err << "modelgen: cannot read " << args[2] << "\n";
        return 2;
    }
    DumpResult r = IsStdioChunkName(args[1])
                       ? DumpDm2(bytes)
                       : DumpChunkStream(bytes, args.size() == 3 ? &companion : nullptr);
    out << FormatDump(r);
    return r.ok ? 0 : 1;
}

}  // namespace

int RunModelGen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    if (args[0] == "write") return Write(args, out, err);
    if (args[0] == "dump") return Dump(args, out, err);
    if (args[0] == "list") {
        for (const std::string& name : RecipeNames()) out << name << "\n";
        return 0;
    }
    err << kUsage;
    return 2;
}

}  // namespace ZelModelGen
