// Resource and control ids, shared by the resource script and the code.
#pragma once

#define IDI_FLAG 100

// Built-in pictures, resource type "IMAGE".
#define IDP_BACKGROUND_FIRST 1000  // 1000, 1001, 1002; 1000 is also the last-resort flag
#define IDP_FONT 2000
#define IDP_DIALOG 3000

// The "CONFIG" dialog.
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
