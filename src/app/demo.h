#pragma once

class Form1;
namespace serial {
class SerialLine;
}

// Headless run for machines without a display: opens the chosen port, reads
// the energy of the selected meter once and prints what the window showed.
// With holdMs the window is shown and kept up that long after the exchange.
int RunDemo(Form1 &form, serial::SerialLine &port, int holdMs = 0);
