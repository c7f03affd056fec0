// Resource identifiers shared by the .rc script and the code.
#pragma once

#define IDI_SCRIVANE 1
#define IDI_MAGNIFIER 2

#define IDB_SPLASH 201

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The Options dialog and its controls.
#define IDD_OPTIONS 300
#define IDC_OPTIONS_PRESENT 301
#define IDC_OPTIONS_PRESENT_DEFAULT 302
#define IDC_OPTIONS_MAGNIFY 303
#define IDC_OPTIONS_MAGNIFY_DEFAULT 304
#define IDC_OPTIONS_KEEP 305
#define IDC_OPTIONS_SIGN_IN 306
#define IDC_OPTIONS_LIVE 307
#define IDC_OPTIONS_LIVE_DEFAULT 308
