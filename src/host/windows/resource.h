// Resource identifiers shared by the .rc file and the code.
#pragma once

#define IDI_KB6TRAY 1
