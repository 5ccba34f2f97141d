#include "stats/fatal_numeric_error.h"

#include <cstdlib>
#include <iostream>

namespace kelvane {

void fatalNumericError(std::string message) {
    std::cerr << "Numerical Recipes run-time error..." << std::endl;
    std::cerr << message << std::endl;
    std::cerr << "...now exiting to system..." << std::endl;
    std::exit(1);
}

}  // namespace kelvane
