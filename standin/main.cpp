// Nimbrel.exe, the stand-in host: see --help.

#include "standin/check/check_command.h"
#include "standin/cli/run_nimbrel.h"
#include "standin/cli/utf8_command_line.h"

int main(int argc, char** argv) {
    nimbrel::Utf8CommandLine commandLine(argc, argv);
    if (auto checked = nimbrel::check::checkChildMain(commandLine.argc(), commandLine.argv())) return *checked;
    return nimbrel::nimbrelMain(commandLine.argc(), commandLine.argv(), nimbrel::check::runCheckCommand);
}
