// Nimbrel.exe, the stand-in host: see --help.

#include "standin/command_line.h"

int main(int argc, char** argv) { return nimbrel::nimbrelMain(argc, argv); }
