// Resource ids of Cellwise.exe.
#pragma once

// Icons: the program icon and the maker's logo of the result dialogs.
#define IDI_APP_PACK 101
#define IDI_MAKER_LOGO 102

// Result dialogs: without and with the firmware update offer.
#define IDD_RESULT 129
#define IDD_RESULT_FW 130

#define IDC_STATIC_CAPTION 1000
#define IDC_RICHTEXT 1001
#define IDC_BATTERY_LABEL 1002
#define IDC_BATTERY_VALUE 1003
#define IDC_PC_LABEL 1004
#define IDC_PC_VALUE 1005
#define IDC_LOGO 1006
#define IDC_SEPARATOR 1007
#define IDC_STATIC_DESC 1009
// Button 1 is IDOK ("OK" or "Go"); button 3 is "Sleep".
#define IDC_SLEEP 3

#define IDS_APP_CAPTION 131
#define IDS_LIBRARY_MISSING 132
