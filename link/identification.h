// Learns the opened unit's report lengths, its mode and its controller.
#pragma once

// Runs at the end of openDevice; returns a result code. The unit stays open whatever it returns.
int identifyDevice();
