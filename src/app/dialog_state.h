// The settings dialog's own state in AppState.
#pragma once

struct HWND__;
struct HBITMAP__;

struct DialogState {
  HBITMAP__* dialogPicture;  // built-in picture 3000, deleted when the dialog ends
  // Taken when the dialog opens; the mode listing and the flag list fill them.
  HWND__* resolutionList;  // IDC_RESOLUTION
  HWND__* flagList;        // IDC_FLAG_LIST
  HWND__* useTnlBox;       // IDC_USE_TNL
  HWND__* linkPicture;     // IDC_LINK_PICTURE
};
