#pragma once

class Form1;

// Headless run for machines without a display: opens the chosen port, reads
// the energy of the selected meter once and prints what the window showed.
// With holdMs the window is shown and kept up that long after the exchange.
int RunDemo(Form1 &form, int holdMs = 0);
