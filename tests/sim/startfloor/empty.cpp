// The floor of the start benchmark (tools/bench_start.py): a GUI program that does
// nothing, built like the shipped programs.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
