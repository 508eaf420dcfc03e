#pragma once

// Whether a serial line is a pseudo-terminal: nothing paces its bytes as a
// UART would, and the kernel keeps no parity there. Plain C++ on the system's
// own calls, so that the simulator can use it without Qt's serial port.
namespace serial {

// For an open descriptor; false where the system has no such devices.
bool isPseudoTerminal(int fd);

} // namespace serial
