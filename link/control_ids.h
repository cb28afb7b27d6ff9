// Control ids of the dialogs and the entries of the string table: the window
// surface and the numbered messages are keyed by them, and the resource
// script takes them in through the program's resource header.
#pragma once

// Controls of the main dialog.
#define IDC_EXIT 1
#define IDC_CANCEL_COMMAND 2
#define IDC_BOOT_LANGUAGE 1001
#define IDC_SECOND_LANGUAGE 1002
#define IDC_THIRD_LANGUAGE 1003
#define IDC_FOURTH_LANGUAGE 1004
#define IDC_START 1005
#define IDC_STATUS_LOG 1006
#define IDC_PROGRESS_PLACEHOLDER 1007
#define IDC_COUNTER 1008
#define IDC_DOWNLOAD_LANGUAGES 1013
#define IDC_DOWNLOAD_FIRMWARE 1014
#define IDC_DOWNLOAD_BOOT_SECTOR 1015
#define IDC_BOOT_RAMCARD 1016
#define IDC_ERASE_USER_FLASH 1017
#define IDC_HELP_BUTTON 1018
#define IDC_BOOT_FLASH 1019
#define IDC_PROGRESS_CAPTION 1022
#define IDC_PICTURE 1023
#define IDC_OPTIONS_GROUP 1031
#define IDC_PORT_LIST 1032
#define IDC_BAUD_LIST 1033

// Controls of the SUCCESS dialog.
#define IDC_SUCCESS_OK 1

// String table.
#define IDS_CAPTION_ERROR 1
#define IDS_CAPTION_WARNING 2
#define IDS_INI_MISSING 3
#define IDS_LANGUAGE_MISSING 4
#define IDS_NO_FREE_PORT 5
#define IDS_FILE_MISSING 6
#define IDS_CATALOGUE_SYNTAX 7
#define IDS_PORT_OPEN_FAILED 8
