// Resource identifiers of the installer stub.
#pragma once

#define IDI_SETUP 103
#define IDS_FILE_STEM 1
#define IDS_DISPLAY_NAME 2

#define IDS_COM_FAILED 43
#define IDS_EXTRACT_FAILED 44
#define IDS_INSTALLED 45
#define IDS_UNINSTALLED 46
#define IDS_CONFIRM_UNINSTALL 47
