// Resource ids of Fetchrun.exe.
#pragma once

#define IDI_FETCHRUN 101
#define IDD_FETCHRUN 102
#define IDC_PROGRESS 1001
#define IDC_MESSAGE 1002
