#pragma once

#include "platform/windows_api.h"

namespace korvane {

// Size of the driver's input and output queues (SetupComm).
constexpr DWORD kSerialDriverQueueBytes = 65536;

// The read time-outs make a read return at once with whatever the driver holds, possibly nothing;
// writes have no time-out of their own (the caller's budget bounds them).
COMMTIMEOUTS serialLinkTimeouts();

// Puts the adapter link's settings into `dcb` (as GetCommState returned it): `baud`, binary mode,
// 8 data bits, no parity, one stop bit, no hardware or software flow control, DTR and RTS
// inactive, no error or NUL handling, XON 0x17 / XOFF 0x19 with limits 2048 / 512. Fields not
// named here keep their value.
void applySerialLinkSettings(DCB& dcb, DWORD baud);

}  // namespace korvane
