// Registers the list view, its header, the tab control and the up-down, so
// that windows of these classes can be made by name.
#pragma once

void RegisterListAndTabControls();
