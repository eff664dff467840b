// Resource and control ids, shared by the resource script and the code.
#pragma once

#define IDI_FLAG 100

// Built-in pictures, resource type "IMAGE".
#define IDP_BACKGROUND_FIRST 1000  // also the last-resort flag
#define IDP_BACKGROUND_SECOND 1001
#define IDP_BACKGROUND_THIRD 1002
#define IDP_FONT 2000
// The same pictures for large displays: the three scenes at 2048 x 2048, and
// the font four times the size (1024 x 1024) in the same layout.
#define IDP_LARGE_BACKGROUND_FIRST 1010
#define IDP_LARGE_FONT 2001
#define IDP_DIALOG 3000

// The "CONFIG" dialog.
// Two-line label above the link picture, and the version static's two lines.
#define DIALOG_LINK_LABEL "Visit our web site\nfor more flags"
#define DIALOG_VERSION_TEXT \
  "Brevanto Flags Screensaver v1.0\nFree screen saver - flags from the IMAGE folder"
#define IDC_STATIC_LABEL 99
#define IDC_DEFAULTS 101
#define IDC_RESOLUTION 102
#define IDC_USE_TNL 103
#define IDC_SHOW_TIME 104
#define IDC_SHOW_FPS 105
#define IDC_FLAG_LIST 106
#define IDC_SHOW_COMMAND 107
#define IDC_WIND_POWER 108
#define IDC_LINK_PICTURE 109
#define IDC_RANDOM_LOGO 110
#define IDC_LINK_BUTTON 111
#define IDC_USE_LOGO 114
#define IDC_USE_PICTURE 115
#define IDC_PICTURE_TITLE 116
#define IDC_CHANGE_PICTURE 117
#define IDC_PICTURE_DEFAULT 118
#define IDC_BACKGROUND_TITLE 119
#define IDC_CHANGE_BACKGROUND 120
#define IDC_BACKGROUND_DEFAULT 121
// Beside Random Logo: the tour of the folder.
#define IDC_CHANGE_LABEL 122
#define IDC_CHANGE_MINUTES 123
#define IDC_REGION_LABEL 124
#define IDC_FLAG_REGION 125
#define IDC_SAME_FLAG 126
