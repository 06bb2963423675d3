#pragma once

// The Windows headers as the window's sources include them: the Unicode calls, on the shared
// lean, min/max-free header set.
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include "platform/windows_api.h"
