// modelgen: writes model fixture recipes and dumps chunk files (see ModelGenCommand.h).
#include <iostream>
#include <string>
#include <vector>

#include "modelgen/ModelGenCommand.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return ZelModelGen::RunModelGen(args, std::cout, std::cerr);
}
