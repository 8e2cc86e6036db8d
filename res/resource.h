// Resource and control identifiers, shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CUSTOMIZE 102
#define IDD_FEATURES 104
#define IDD_SOFTKEYS 105
#define IDI_MAIN 128
#define IDD_STARTHERE 134
#define IDD_INTERFACE 135

#define IDC_TAB 1000
#define IDC_FEATURES_LIST 1006
#define IDC_SOFTKEYS_LIST 1012
#define IDC_CLOSE 1016
#define IDC_SAVE 1017
#define IDC_ENABLE_ALL 1018
#define IDC_DISABLE_ALL 1019
#define IDC_STARTHERE_LIST 1022
#define IDC_LINK_ENABLED 1024
#define IDC_LINK_NAME 1025
#define IDC_LINK_NOTE 1026
#define IDC_ABOUT_ICON 1027

// Why a page shows nothing: no path, or the path followed by one of the other three.
#define IDS_NO_FILE 200
#define IDS_NOT_READ 201
#define IDS_NO_ITEMS 202
#define IDS_NO_LINK_ITEM 203
#define IDS_NOT_SAVED 204

// System-menu command of the About box; the low four bits belong to the system.
#define IDM_ABOUTBOX 0x0010

// The check list control's box strip and the names of its accessibility default actions.
#define IDB_CHECKBOXES 30996
#define IDS_CHECKLIST_UNCHECK 62177
#define IDS_CHECKLIST_CHECK 62178
#define IDS_CHECKLIST_MIXED 62179

// Messages and notifications of our own.
#define CLBN_CHECKCHANGED 40
