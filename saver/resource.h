// Resource identifiers of the screen saver runtime.
#pragma once

#define ID_APP 100
#define DLG_SCRNSAVECONFIGURE 2003
#define IDS_DESCRIPTION 1

#define IDS_ERR_COM_INIT 129
#define IDS_ERR_MODULE_INIT 130
#define IDS_ERR_CREATE_WINDOW 131
#define IDS_ERR_CREATE_CONTROL 132
#define IDS_ERR_NO_INTERFACE 133
#define IDS_ERR_FLASH 134
