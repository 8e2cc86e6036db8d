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
#define IDC_PAGE_NOTE 1027
#define IDC_ABOUT_ICON 1028

// Why a page shows nothing: no path, or the path followed by one of the other three.
#define IDS_NOT_READ 201
#define IDS_NO_ITEMS 202
#define IDS_NO_LINK_ITEM 203
// An xml.ini is there and names no file for the page.
#define IDS_INI_NO_FILE 205

// Why a file could not be read, after its path.
#define IDS_READ_NOT_FOUND 210
#define IDS_READ_FOLDER_MISSING 211
#define IDS_READ_ACCESS_DENIED 212
#define IDS_READ_IN_USE 213
#define IDS_READ_BAD_ENCODING 214
#define IDS_READ_NOT_TEXT 215
#define IDS_READ_TOO_LARGE 216

// Why a file was not saved, after its path.
#define IDS_SAVE_READ_ONLY 220
#define IDS_SAVE_ACCESS_DENIED 221
#define IDS_SAVE_IN_USE 222
#define IDS_SAVE_DISK_FULL 223
#define IDS_SAVE_FOLDER_MISSING 224
#define IDS_SAVE_CHANGED 225
#define IDS_SAVE_FAILED 226
#define IDS_SAVE_NOTHING_CHANGED 227
#define IDS_SAVE_LEFT_AS_IT_IS 228
#define IDS_SAVE_ASK_CHANGED 229
#define IDS_SAVE_ASK_REPLACE 230
#define IDS_SAVE_ASK_GONE 231
#define IDS_SAVE_GONE 232
#define IDS_SAVE_NOT_WRITTEN 233
#define IDS_SAVE_PUT_BACK 234
#define IDS_SAVE_KEPT_AT 235
#define IDS_SAVE_NOT_PUT_BACK 236

// What a start found of a save that was cut off.
#define IDS_RECOVERY_UNDONE 270
#define IDS_RECOVERY_FINISHED 271
#define IDS_RECOVERY_CLEANED 272
#define IDS_RECOVERY_BLOCKED 273

// A file shown read-only: why, after its path.
#define IDS_READ_ONLY_SYNTAX 240
#define IDS_READ_ONLY_EDITED_ON 241
#define IDS_READ_ONLY_ENCODING 242
#define IDS_LINK_NOT_EXACT 243
#define IDS_READ_ONLY_ENTITY 244
#define IDS_READ_ONLY_ATTLIST 245
#define IDS_READ_ONLY_DOCTYPE 246

// What is wrong with a file that is not well-formed XML, in the order of its kinds.
#define IDS_SYNTAX_NO_ELEMENT 251
#define IDS_SYNTAX_END_IN_MARKUP 252
#define IDS_SYNTAX_UNCLOSED 253
#define IDS_SYNTAX_STRAY_END_TAG 254
#define IDS_SYNTAX_BAD_NAME 255
#define IDS_SYNTAX_ATTRIBUTE 256
#define IDS_SYNTAX_LESS_THAN 257
#define IDS_SYNTAX_BAD_MARKUP 258
#define IDS_SYNTAX_CONTROL 259
#define IDS_SYNTAX_ENCODING 260
#define IDS_SYNTAX_TEMPLATE 261

// F1 anywhere in the dialog: the user's guide.
#define ID_HELP 0xE146

// System-menu command of the About box; the low four bits belong to the system.
#define IDM_ABOUTBOX 0x0010

// The check list control's box strip and the names of its accessibility default actions.
#define IDB_CHECKBOXES 30996
#define IDS_CHECKLIST_UNCHECK 62177
#define IDS_CHECKLIST_CHECK 62178
#define IDS_CHECKLIST_MIXED 62179

// Messages and notifications of our own.
#define CLBN_CHECKCHANGED 40
