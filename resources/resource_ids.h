// Resource identifiers shared by the resource script and the code.
#pragma once

// Application manifest and version.
#define VANTREL_MANIFEST_ID 1

// The program's icon, at 16, 20, 24, 32, 48 and 256 pixels.
#define IDI_VANTREL 100

// Every picture also comes at 1.5 and 2 times its size, under its id plus these offsets.
#define IDP_AT_150 1000
#define IDP_AT_200 2000

// Button pictures: PNG (RCDATA), 40 by 40, with alpha.
#define IDP_BUTTON_EXECUTE 201
#define IDP_BUTTON_CLEAR   202
#define IDP_BUTTON_SAVELOG 203
#define IDP_BUTTON_ABOUT   204
#define IDP_BUTTON_EXIT    205

// About box pictures.
#define IDB_ABOUT_LOGO  210 /* BITMAP, 147 by 110, 24-bit */
#define IDP_ABOUT_FRAME 211 /* PNG (RCDATA), 155 by 115, with alpha */
#define IDP_ABOUT_CLOSE 212 /* PNG (RCDATA), 48 by 48, with alpha */
