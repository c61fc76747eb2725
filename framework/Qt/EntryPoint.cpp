#include "framework/WinApp.h"

// The program's entry point: the framework runs the one application object.
int main(int argc, char** argv) { return AfxWinMain(argc, argv); }
