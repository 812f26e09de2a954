#pragma once
// Dialog resource 101, the "VST plug-ins" preferences page, and its controls.
#define IDD_VST_MANAGER 101
#define IDC_PLUGIN_LIST 1004
#define IDC_ADD 1005
#define IDC_REMOVE 1006
#define IDC_IN_USE_LABEL 1010
#define IDC_OWN_PROCESS 1011
#define IDC_PROCESS_NOTE 1012
