// The update the Update button starts: consent, then lock, unprotect, erase, address, blocks,
// restore and release, paced; every failure reported once.
#pragma once

void runUpdate();
