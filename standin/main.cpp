// Nimbrel.exe, the stand-in host: see --help.

#include "standin/run_nimbrel.h"

int main(int argc, char** argv) { return nimbrel::nimbrelMain(argc, argv); }
