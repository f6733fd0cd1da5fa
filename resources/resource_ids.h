/* Resource and control ids shared by the .rc scripts and the code.
   Plain #defines so that the resource compiler can read this file too. */
#ifndef LAUNCHER_RESOURCE_IDS_H
#define LAUNCHER_RESOURCE_IDS_H

#define IDI_APP 101
#define IDD_INSTALLER 129
#define IDB_BACKGROUND 140
/* The art in larger sizes for higher display scales, from the next size up:
   140 holds the smallest, 141 to 143 the larger ones a product gives. */
#define IDB_BACKGROUND_LAST 143
#define IDD_LAUNCHER 145

#define IDS_LANGUAGE_IDS 144
#define IDS_REGISTRY_KEY 145
#define IDS_INSTANCE_MUTEX 146
#define IDS_PRODUCT_NAMES 147
#define IDS_PACKAGE_NAME 148
#define IDS_GAME_EXE 149
#define IDS_WEBSITE_URL 150

#define IDC_PROGRESS 1003
#define IDC_INSTALL 1006
#define IDC_PLAY 1007
#define IDC_UNINSTALL 1008
#define IDC_README 1009
#define IDC_EXIT 1012
#define IDC_WEBSITE 1013
#define IDC_LANGUAGE 1014
#define IDC_CONTINUE 1015
#define IDC_STATIC_LABEL (-1)

#define IDR_PAYLOAD_MANIFEST 3000
// Where each payload file is and its checksum (src/payload/table.h).
#define IDR_PAYLOAD_TABLE 2999
#define IDR_PAYLOAD_FIRST 3001

#endif
