// Resource identifiers shared by the .rc script and the code.
#pragma once

#define IDI_SCRIVANE 1
#define IDI_MAGNIFIER 2

#define IDB_SPLASH 201
