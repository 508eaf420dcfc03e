#pragma once

class Form1;

// Headless run for machines without a display: opens the chosen port, reads
// the energy of the selected meter once and prints what the window showed.
int RunDemo(Form1 &form);
