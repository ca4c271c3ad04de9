// SPDX-License-Identifier: MIT
// The numbers of the program's resources and menu commands.
#pragma once

#define IDI_TARVO 1

// The pictures, one bitmap resource each.
#define IDB_SPRITES 201
#define IDB_KILL 202
#define IDB_READY 203
#define IDB_BUNG 204
#define IDB_WIN1P 205
#define IDB_WIN2P 206
#define IDB_FALL1P 208
#define IDB_FALL2P 209

// The sounds are resources of type "SOUND", 101 to 109, by their own ids.

// The menu items, numbered on from the window's ten controls.
#define IDM_START 12
#define IDM_QUIT 13
#define IDM_HUMAN_VS_HUMAN 15
#define IDM_HUMAN_VS_MACHINE 16
#define IDM_RULES 18
#define IDM_KEYS 19
#define IDM_ABOUT_OPPONENT 20
#define IDM_SCORE 22
