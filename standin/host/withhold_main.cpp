// nimbrel_withhold PROGRAM FUNCTION...: makes the host program PROGRAM lack
// each FUNCTION, in place, as host_lacking.h does for --check; the build's way
// to a test program that is a host lacking a function.

#include <exception>
#include <iostream>

#include "standin/host/host_lacking.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: nimbrel_withhold PROGRAM FUNCTION..." << std::endl;
        return 2;
    }
    try {
        for (int i = 2; i < argc; ++i) nimbrel::writeHostLacking(argv[1], argv[i], argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "nimbrel_withhold: " << argv[1] << ": " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
