#pragma once

// The Windows API as every Windows-only file here includes it: the lean header set (so winsock2.h
// can follow without clashing with the old winsock.h) and without the min and max macros.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
