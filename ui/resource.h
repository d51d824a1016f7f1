// Control IDs of the dialog templates, shared by the resource script and the
// dialog procedures. Plain macros: the resource compiler reads this file too.
#pragma once

#define ID_ACCEPT 1001        // licence: accept; readme: continue
#define ID_DECLINE 1003       // licence: decline; readme and progress: abort
#define ID_TEXT 1005          // the licence or readme text
#define ID_BAR_FRAME 1007     // where the progress bar is laid over
#define ID_INSTALLING 1009    // "Installing NAME..."
#define ID_STATUS 1011        // the status line
