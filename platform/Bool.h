#pragma once

// The Windows BOOL convention, without <windows.h>: int, TRUE for success.
// <windows.h> declares the same typedef and guards its own TRUE/FALSE, so either may come first.
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
