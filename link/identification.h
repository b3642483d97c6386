// Learns the opened unit's report lengths, its mode and its controller.
#pragma once

// Runs at the end of openDevice; returns a result code. The unit stays open whatever it returns.
int identifyDevice();

// Runs the same exchanges again on the open unit, just before anything is written: the lead may
// have gone to another controller meanwhile, and no device change tells of it. changed is true
// when the mode, the target state or either block of the controller differs from what
// ConnectedUnit holds; ConnectedUnit then holds the new identity. Returns the first failing
// exchange's result code, leaving ConnectedUnit as it was.
int identifyAgain(bool& changed);
