// Nimbrel.exe, the stand-in host: see --help.

#include "standin/check/check_command.h"
#include "standin/run_nimbrel.h"

int main(int argc, char** argv) {
    if (auto checked = nimbrel::check::checkMain(argc, argv)) return *checked;
    return nimbrel::nimbrelMain(argc, argv);
}
