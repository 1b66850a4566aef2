// qubra-cli: the setup tool's commands for scripts and for many devices.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Interrupt.h"

int main(int argc, char** argv)
{
    qubra::InstallInterruptHandlers();
    qubra::TCommandLine commandLine(std::cout, std::cerr, std::cin,
                                    isatty(STDIN_FILENO) == 1 ? STDIN_FILENO : -1,
                                    isatty(STDERR_FILENO) == 1);
    return commandLine.Run(std::vector<std::string>(argv + 1, argv + argc));
}
