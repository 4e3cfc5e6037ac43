#include "cli/list_command_line.h"

int wmain(int argc, wchar_t* argv[]) { return RunListCommandLine(argc, argv); }
