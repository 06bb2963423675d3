#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace korvane {

// Where Windows lists the machine's serial ports: one value per port, its data the port's name.
inline constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM\\";

// Reads registry value data the way "COM%d" would: the bytes must begin with COM, then a number
// as the C "%d" conversion reads it (leading white space, an optional sign, digits). Only the
// `size` bytes given are looked at, and a NUL ends the text earlier. Gives the number in `number`
// when there is one that fits an int.
bool readComNumber(const unsigned char* data, std::size_t size, int& number);

// The port names listed under `subKey` of `root`: for each value in enumeration order whose data
// reads as COM plus a number n from 1 to 256, "COM<n>". Duplicates are kept. The enumeration ends
// at the first value that cannot be read (no more values, a name or data longer than 256, any
// other error); a key that cannot be opened gives an empty list.
std::vector<std::string> listSerialPortsUnderKey(HKEY root, const char* subKey);

}  // namespace korvane
