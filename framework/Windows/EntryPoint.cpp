#include <windows.h>

#include "framework/WinApp.h"

// The entry point of a GUI-subsystem program: the framework runs the one application object.
// The program reads no command line.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return AfxWinMain(0, nullptr); }
