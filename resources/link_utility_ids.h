// Resource ids of zt615_link_utility. The dialog, icon and control ids are the ones the
// program has always used; strings follow in their own range.
#pragma once

// Dialog and icon.
#define IDD_LINK 129
#define IDI_LINK 107

// Controls of the link window.
#define IDC_LINK_FILE1 1001
#define IDC_LINK_FILE2 1002
#define IDC_LINK_LINKED 1003
#define IDC_LINK_CHOOSE1 1004
#define IDC_LINK_CHOOSE2 1005
#define IDC_LINK_CHOOSE_LINKED 1006
#define IDC_LINK_PROGRESS 1009
#define IDC_LINK_BEGIN1 1011
#define IDC_LINK_END1 1012
#define IDC_LINK_BEGIN2 1013
#define IDC_LINK_END2 1014
#define IDC_LINK_END_LINKED 1015
#define IDC_LINK_BEGIN_LINKED 1016

// Commands that end the program besides Exit (IDCANCEL).
#define IDM_LINK_CLOSE 8
#define IDM_LINK_EXIT 105

// Strings.
#define IDS_LINK_ERROR_CAPTION 2001
#define IDS_LINK_LAST_ERROR_CAPTION 2002
#define IDS_LINK_INVALID_FILE 2003
#define IDS_LINK_INVALID_FIRST 2004
#define IDS_LINK_INVALID_SECOND 2005
#define IDS_LINK_UNABLE 2006
#define IDS_LINK_FILTER 2007
