// The three versions in the group box and the unit's model as the first row's name.
#pragma once

// Rebuilds the whole panel from ConnectedUnit.
void refreshVersionPanel();
