// Resource and control ids, shared by the resource script and the code.
#pragma once

#include "link/control_ids.h"

// Dialogs, icon, bitmap.
#define IDD_MAIN 102
#define IDD_SUCCESS 108
#define IDI_APP 104
#define IDB_PICTURE 101
