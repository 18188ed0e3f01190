// The application's resources, compiled into the executable: the dialog
// templates 100, 102 and 129, the string table, icon 128, the search clip 132
// and the version block.
#pragma once

// Fills AfxGetResourceModule() with the application's resources, replacing
// what it held. Called once at start-up, before any window is created.
void RegisterResources();
