// Resource identifiers of the application.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_DIAG_DIALOG 102
#define IDD_SEARCH 129

// String table.
#define IDS_ABOUTBOX 101
#define IDS_MAKER 102

// Icon and animation clip.
#define IDR_MAINFRAME 128
#define IDR_SEARCH_AVI 132

// Controls.
#define IDC_PORT_LIST 1000
#define IDC_MODEL 1001
#define IDC_REVISION 1002
#define IDC_TEST_PORT 1003
#define IDC_ANIMATE 1005
#define IDC_STATUS 1006
#define IDC_LIST_LABEL 1007

// System-menu command.
#define IDM_ABOUTBOX 0x0010
