#include <windows.h>

#include "framework/WinApp.h"

// The entry point of a GUI-subsystem program: the framework runs the one application object.
// The framework reads the command line itself (for --help and --version).
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return AfxWinMain(0, nullptr); }
