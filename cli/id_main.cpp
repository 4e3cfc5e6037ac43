#include "cli/id_command_line.h"

int wmain(int argc, wchar_t* argv[]) { return RunIdCommandLine(argc, argv); }
