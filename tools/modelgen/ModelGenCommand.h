// The command line of the modelgen program, callable from tests:
//   modelgen write <recipe> <folder> [--meshes N] [--subdivisions N] [--narrow] [--tiles N] [--lf]
//   modelgen dump <file> [<companion>]
//   modelgen list
// "dump" reads a ".dm2"/".ch2" name as a stdio chunk file and anything else as a chunk stream.
// Answers the exit code: 0 done, 1 the dumped file is malformed, 2 bad arguments or unreadable
// or unwritable files.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ZelModelGen {

int RunModelGen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ZelModelGen
