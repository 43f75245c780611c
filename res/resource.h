// Resource and control ids of Harmoload.exe, shared by Harmoload.rc and the program.
#pragma once

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_HARMOLOAD_DIALOG 102

// The About entry of the system menu: its text and its command
#define IDS_ABOUTBOX 101
#define IDM_ABOUTBOX 0x0010

// Pictures
#define IDR_MAINFRAME 128
#define IDB_UPDATE_ENGLISH 130
#define IDC_HAND_CURSOR 131
#define IDB_OPEN_FOLDER 132
#define IDB_UPDATE_CHINESE 133
#define IDB_UPDATE_CHINESE_GREY 134
#define IDB_UPDATE_ENGLISH_GREY 135
// The same pictures drawn at 150 % and 200 %.
#define IDB_UPDATE_ENGLISH_150 140
#define IDB_UPDATE_ENGLISH_200 141
#define IDB_OPEN_FOLDER_150 142
#define IDB_OPEN_FOLDER_200 143
#define IDB_UPDATE_CHINESE_150 144
#define IDB_UPDATE_CHINESE_200 145
#define IDB_UPDATE_CHINESE_GREY_150 146
#define IDB_UPDATE_CHINESE_GREY_200 147
#define IDB_UPDATE_ENGLISH_GREY_150 148
#define IDB_UPDATE_ENGLISH_GREY_200 149

// Controls of the main dialog
#define IDC_STC_GROUP1 1000
#define IDC_STC_GROUP2 1001
#define IDC_PROGRESS 1003
#define IDC_BTN_UPDATE 1004
#define IDC_EDIT_PATH 1005
#define IDC_BTN_BROWSE 1006
#define IDC_EDIT_MODEL 1007
#define IDC_EDIT_VERSION 1008
#define IDC_STC_PRO_MODEL 1010
#define IDC_STC_VERSTION 1011
#define IDC_STC_INSTRUCTION 1012

// Controls of the About box
#define IDC_ABOUT_ICON 1100
