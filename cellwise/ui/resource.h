// Resource ids of Cellwise.exe.
#pragma once

#define IDI_APP_PACK 101
#define IDI_APP_ALERT 102

#define IDS_APP_CAPTION 131
#define IDS_LIBRARY_MISSING 132
