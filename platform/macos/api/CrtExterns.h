// The C runtime's record of the program's arguments, as a library reaches them without main.
#pragma once

// argv as main received it, NULL-terminated; it lives as long as the process.
char*** _NSGetArgv();
int* _NSGetArgc();
