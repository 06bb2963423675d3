#include <cstdio>

#include "channel/serial/serial_port.h"

namespace korvane {

bool parseComName(const std::string& name, int& number) {
    // The same test as comparing the name with the text "COM%d" gives for every n from 1 to 256.
    for (int n = 1; n <= 256; ++n) {
        char text[8];
        std::snprintf(text, sizeof text, "COM%d", n);
        if (name == text) {
            number = n;
            return true;
        }
    }
    return false;
}

}  // namespace korvane
