// The update the Update button starts.
#pragma once

void runUpdate();
