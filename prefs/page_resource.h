#pragma once
// Dialog resource 101, the "VST plug-ins" preferences page, and its controls.
#define IDD_VST_MANAGER 101
#define IDC_PLUGIN_LIST 1004
#define IDC_ADD 1005
#define IDC_REMOVE 1006
#define IDC_IN_USE_LABEL 1010
#define IDC_OWN_PROCESS 1011
#define IDC_PROCESS_NOTE 1012
#define IDC_ADD_FOLDER 1013
// Resource 103, the dialog of "Add &folder...": a folder's scan and its results.
#define IDD_SCAN_FOLDER 103
#define IDC_SCAN_FOLDER 1101
#define IDC_SCAN_PROGRESS 1102
#define IDC_SCAN_STATUS 1103
#define IDC_SCAN_RESULTS 1104
#define IDC_SCAN_SUBFOLDERS 1105
#define IDC_SCAN_RESCAN 1106
#define IDC_SCAN_AGAIN 1107
#define IDC_SCAN_DETAIL 1108
