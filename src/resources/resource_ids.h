// Resource identifiers shared by the .rc script and the code.
#pragma once

#define IDI_SCRIVANE 1
#define IDI_MAGNIFIER 2

#define IDC_HIGHLIGHTER 101
#define IDC_PEN 102
#define IDC_ERASER8 103
#define IDC_ERASER16 104
#define IDC_ERASER24 105
#define IDC_ERASER32 106

#define IDB_SPLASH 201
