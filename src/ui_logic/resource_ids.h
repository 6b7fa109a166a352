/* Identifiers of the Windows program's resources and commands.
 *
 * Shared by the resource script (windres reads it with the C preprocessor)
 * and by the C++ code, so plain #defines only. Prefixes by kind: IDM_ menu
 * commands, IDD_ dialogs, IDC_ dialog controls, IDB_ bitmaps, IDI_ icons,
 * IDS_ strings. */
#ifndef CORVIX_UI_LOGIC_RESOURCE_IDS_H
#define CORVIX_UI_LOGIC_RESOURCE_IDS_H

/* Menu bar "MENU" and the pop-ups "POPUP1" and "POPUPB2". */
#define IDM_NO_CDROM 40010
#define IDM_EXIT 40021
#define IDM_IMPORT_WAVES 40022
#define IDM_MERGE_LR 40023
#define IDM_CONVERT_TES 40024
#define IDM_REFRESH 40025
#define IDM_COMBINE_TES 40031
#define IDM_ADD_TO_BATCH 40032
#define IDM_BATCH_IMPORT_WAVES 40033
#define IDM_BATCH_CONVERT_TES 40034
#define IDM_BATCH_COMBINE_TES 40035
#define IDM_BATCH_VIEW 40036
#define IDM_REMOVE_ITEMS 40037
#define IDM_CLEAR_BATCH 40038
#define IDM_HELP_CONTENTS 40039
#define IDM_OPEN_DISC_IMAGE 40040
#define IDM_CONVERT_SF2 40041
#define IDM_CONVERT_SFZ 40042
#define IDM_BATCH_CONVERT_SF2 40043
#define IDM_BATCH_CONVERT_SFZ 40044
#define IDM_ABOUT 106
/* Drive items of the CD&ROM menu: 140 + the device's place in the list. */
#define IDM_FIRST_CDROM 140
#define IDM_LAST_CDROM 199

/* Positions in the menu bar and in "&Convert". */
#define MENU_POS_CONVERT 1
#define MENU_POS_CDROM 3
#define MENU_POS_BATCH_CONVERTER 4

/* Dialogs (by name) and their controls. */
#define IDC_ABOUT_PRODUCT 103
#define IDC_ABOUT_NOTICE 105
#define IDC_ABOUT_VERSION 106
#define IDC_ABOUT_RULE 108
#define IDC_XFER_WAVE_LINE 1002
#define IDC_XFER_PROGRAM_LINE 1010
#define IDC_CREATE_LINE 1008

/* 16 x 16 view images and the class icon. */
#define IDB_VOLUME 113
#define IDB_DISC 121
#define IDB_PROGRAM 127
#define IDB_PARTITION 130
#define IDB_VOLUME_OPEN 134
#define IDB_PARTITION_OPEN 135
#define IDB_DISC_NOT_FOUND 136
#define IDI_CORVIX 123

/* String table. */
#define IDS_DISC 104
#define IDS_DISC_NOT_FOUND 105
#define IDS_COLUMN_TYPE 107
#define IDS_COLUMN_KEY_RANGE 108
#define IDS_COLUMN_NAME 110
#define IDS_COLUMN_KEYGROUPS 111

/* The message the main window posts itself at creation to read the disc
 * once it is on the screen: WM_USER (0x400) + 1100. */
#define WM_CORVIX_DEFERRED_FILL 2124

#endif
