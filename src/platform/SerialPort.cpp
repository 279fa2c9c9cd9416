#include "platform/SerialPort.h"

uint32_t BaudOfSpeedIndex(int speedIndex) {
    switch (speedIndex) {
    case 0:
        return 19200;
    case 2:
        return 57600;
    case 3:
        return 115200;
    default:
        return 38400;
    }
}
