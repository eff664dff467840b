// The settings dialog: controls in and out of app.settings, its commands, the
// picture and background choice, and the link picture.
#include "host/settings_dialog.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstring>

#include "host/dialog_rules.h"
#include "config/flag_catalogue.h"
#include "config/flag_tour.h"
#include "config/picture.h"
#include "config/settings_store.h"
#include "config/web_link.h"
#include "app/app_state.h"
#include "app/messages.h"
#include "render/device.h"
#include "resources/resource.h"

namespace {

bool isChecked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void setChecked(HWND dialog, int id, bool checked) {
  SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void enableControl(HWND dialog, int id, bool enabled) {
  EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

// The selected entry's text of a combo box, or false when nothing is selected
// or the entry would not fit: CB_GETLBTEXT itself knows no buffer size.
bool selectedEntryText(HWND combo, char* text, uint32_t capacity) {
  LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return false;
  LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR || length < 0 || uint64_t(length) >= capacity) return false;
  if (SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text)) == CB_ERR)
    return false;
  text[capacity - 1] = 0;
  return true;
}

// A static control of Common Controls 6 keeps a copy of its own of a
// 32-bit bitmap with any alpha set, and hands that copy back when its
// image is replaced; it is ours to delete as well as our own bitmap.
void deleteDialogPicture() {
  if (app.dialog.linkPicture) {
    HBITMAP shown = reinterpret_cast<HBITMAP>(
        SendMessageA(app.dialog.linkPicture, STM_SETIMAGE, IMAGE_BITMAP, 0));
    if (shown && shown != app.dialog.dialogPicture) DeleteObject(shown);
  }
  if (app.dialog.dialogPicture) {
    DeleteObject(app.dialog.dialogPicture);
    app.dialog.dialogPicture = nullptr;
  }
}

void closeDialog(HWND dialog, INT_PTR result) {
  deleteDialogPicture();
  EndDialog(dialog, result);
}

void showDialogPicture() {
  app.dialog.dialogPicture = loadPictureResource(app.host.instance, IDP_DIALOG, 0);
  SendMessageA(app.dialog.linkPicture, STM_SETIMAGE, IMAGE_BITMAP,
               reinterpret_cast<LPARAM>(app.dialog.dialogPicture));
}

// The change intervals and the regions, in the order of their values.
void fillTourLists(HWND dialog) {
  for (uint32_t minutes : changeMinuteChoices) {
    char entry[32];
    changeChoiceText(entry, sizeof entry, minutes);
    SendDlgItemMessageA(dialog, IDC_CHANGE_MINUTES, CB_ADDSTRING, 0, (LPARAM)entry);
  }
  for (const char* region : flagRegionNames)
    SendDlgItemMessageA(dialog, IDC_FLAG_REGION, CB_ADDSTRING, 0, (LPARAM)region);
}

// The tour's controls apply to the random pick only.
void enableTourControls(HWND dialog, bool enabled) {
  static const int tourControls[] = {IDC_CHANGE_LABEL, IDC_CHANGE_MINUTES, IDC_REGION_LABEL,
                                     IDC_FLAG_REGION, IDC_SAME_FLAG};
  for (int id : tourControls) enableControl(dialog, id, enabled);
}

void openDialog(HWND dialog) {
  cacheDialogControls(dialog);
  showDialogPicture();
  if (fillResolutionList() == 0) {
    showMessage(nullptr, kNoDirect3DText, kErrorCaption, MB_OK);
    closeDialog(dialog, IDCANCEL);
    return;
  }
  fillFlagList();
  fillTourLists(dialog);
  showSettingsInDialog(dialog);
}

// Which settings fields a file choice fills: the flag picture or the background.
struct PictureTarget {
  char* path;   // kPathCapacity bytes
  char* title;  // kNameCapacity bytes
  int titleControl;
  bool measures;  // the background also stores its pixel size
};

bool askForPictureFile(HWND dialog, const PictureTarget& target) {
  OPENFILENAMEA request;
  std::memset(&request, 0, sizeof request);
  // The 76-byte (Windows 95/NT 4) form of the record.
  request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  request.hwndOwner = dialog;
  request.hInstance = app.host.instance;
  request.lpstrFilter = kPictureFilter;
  request.lpstrFile = target.path;  // the current path is the initial file name
  request.nMaxFile = kPathCapacity;
  request.lpstrFileTitle = target.title;
  request.nMaxFileTitle = kNameCapacity;
  return GetOpenFileNameA(&request) != FALSE;
}

void choosePictureFile(HWND dialog, const PictureTarget& target) {
  // The file dialog writes into the settings' own buffers, and nothing else.
  // A cancel (or a failure, which may leave a size code in the path) and a
  // refused file put back exactly what was there: the registry may hold
  // nothing yet, or older values than the dialog shows.
  char previousPath[kPathCapacity];
  char previousTitle[kNameCapacity];
  copyText(previousPath, kPathCapacity, target.path);
  copyText(previousTitle, kNameCapacity, target.title);
  auto restore = [&] {
    copyText(target.path, kPathCapacity, previousPath);
    copyText(target.title, kNameCapacity, previousTitle);
  };
  if (!askForPictureFile(dialog, target)) {
    restore();
    return;
  }
  target.path[kPathCapacity - 1] = 0;
  target.title[kNameCapacity - 1] = 0;

  Picture picture = loadPictureFile(target.path, 0);
  if (picture == nullptr) {
    restore();
    showMessage(dialog, kInvalidFileText, kNoticeCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (target.measures) {
    BITMAP bitmap;
    std::memset(&bitmap, 0, sizeof bitmap);
    GetObjectA(picture, sizeof bitmap, &bitmap);
    app.settings.backgroundWidth = uint32_t(bitmap.bmWidth);
    app.settings.backgroundHeight =
        uint32_t(bitmap.bmHeight < 0 ? -bitmap.bmHeight : bitmap.bmHeight);
  }
  DeleteObject(picture);
  saveSettings();
  SetDlgItemTextA(dialog, target.titleControl, target.title);
}

void dropPicture(HWND dialog, char* path, char* title, int titleControl) {
  copyText(path, kPathCapacity, "");
  copyText(title, kNameCapacity, kDefaultTitle);
  SetDlgItemTextA(dialog, titleControl, title);
}

void restoreDialogDefaults(HWND dialog) {
  setDialogDefaults(app.settings);
  saveSettings();
  fillResolutionList();
  fillFlagList();
  showSettingsInDialog(dialog);
}

void runCommand(HWND dialog, int id) {
  Settings& s = app.settings;
  switch (id) {
    case IDOK:
      readDialogControls(dialog);
      saveSettings();
      closeDialog(dialog, IDOK);
      break;
    case IDCANCEL:
      closeDialog(dialog, IDCANCEL);
      break;
    case IDC_RANDOM_LOGO:
      s.randomFlag = isChecked(dialog, IDC_RANDOM_LOGO) ? 1 : 0;
      EnableWindow(app.dialog.flagList, s.randomFlag == 0);
      enableTourControls(dialog, s.randomFlag == 1);
      break;
    case IDC_USE_LOGO:
      s.useFlagLogo = 0;
      showSettingsInDialog(dialog);
      break;
    case IDC_USE_PICTURE:
      s.useFlagLogo = 1;
      showSettingsInDialog(dialog);
      break;
    case IDC_CHANGE_PICTURE:
      choosePictureFile(dialog, {s.logoFullPath, s.logoTitle, IDC_PICTURE_TITLE, false});
      break;
    case IDC_PICTURE_DEFAULT:
      dropPicture(dialog, s.logoFullPath, s.logoTitle, IDC_PICTURE_TITLE);
      break;
    case IDC_CHANGE_BACKGROUND:
      choosePictureFile(dialog, {s.backgroundPath, s.backgroundTitle, IDC_BACKGROUND_TITLE, true});
      break;
    case IDC_BACKGROUND_DEFAULT:
      dropPicture(dialog, s.backgroundPath, s.backgroundTitle, IDC_BACKGROUND_TITLE);
      break;
    case IDC_DEFAULTS:
      restoreDialogDefaults(dialog);
      break;
    case IDC_LINK_BUTTON:
      openWebLink(kMakerSiteButtonUrl);
      break;
  }
}

// The bitmap static passes the mouse through, so the dialog tests the
// position against the picture's rectangle itself.
bool isOverLinkPicture(HWND dialog, LPARAM lParam) {
  RECT r;
  if (app.dialog.linkPicture == nullptr || !GetWindowRect(app.dialog.linkPicture, &r)) return false;
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  ScreenToClient(dialog, &corners[0]);
  ScreenToClient(dialog, &corners[1]);
  ClientRect rect{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  return isInsideLink(rect, mousePointFromParam(uintptr_t(lParam)));
}

}  // namespace

void cacheDialogControls(HWND dialog) {
  app.dialog.resolutionList = GetDlgItem(dialog, IDC_RESOLUTION);
  app.dialog.flagList = GetDlgItem(dialog, IDC_FLAG_LIST);
  app.dialog.useTnlBox = GetDlgItem(dialog, IDC_USE_TNL);
  app.dialog.linkPicture = GetDlgItem(dialog, IDC_LINK_PICTURE);
}

void showSettingsInDialog(HWND dialog) {
  Settings& s = app.settings;
  bool usePicture = s.useFlagLogo == 1;
  setChecked(dialog, IDC_USE_PICTURE, usePicture);
  setChecked(dialog, IDC_USE_LOGO, !usePicture);
  enableControl(dialog, IDC_FLAG_LIST, !usePicture && s.randomFlag == 0);
  enableControl(dialog, IDC_RANDOM_LOGO, !usePicture);
  enableControl(dialog, IDC_PICTURE_TITLE, usePicture);
  enableControl(dialog, IDC_CHANGE_PICTURE, usePicture);
  enableControl(dialog, IDC_PICTURE_DEFAULT, usePicture);
  enableTourControls(dialog, !usePicture && s.randomFlag == 1);

  SetDlgItemTextA(dialog, IDC_PICTURE_TITLE, s.logoTitle);
  SetDlgItemTextA(dialog, IDC_BACKGROUND_TITLE, s.backgroundTitle);

  bool tnl = app.render.tnlAvailable != 0;
  EnableWindow(app.dialog.useTnlBox, tnl);
  if (!tnl) s.useTnL = 0;

  setChecked(dialog, IDC_USE_TNL, s.useTnL != 0);
  setChecked(dialog, IDC_SHOW_TIME, s.showTime != 0);
  setChecked(dialog, IDC_SHOW_FPS, s.showFps != 0);
  setChecked(dialog, IDC_SHOW_COMMAND, s.showCountry != 0);
  setChecked(dialog, IDC_RANDOM_LOGO, s.randomFlag != 0);
  SendDlgItemMessageA(dialog, IDC_WIND_POWER, TBM_SETPOS, TRUE, s.windPower);
  SendDlgItemMessageA(dialog, IDC_CHANGE_MINUTES, CB_SETCURSEL, changeChoiceIndex(s), 0);
  SendDlgItemMessageA(dialog, IDC_FLAG_REGION, CB_SETCURSEL, chosenFlagRegion(s), 0);
  setChecked(dialog, IDC_SAME_FLAG, choosesSameFlag(s));
  SetFocus(GetDlgItem(dialog, IDCANCEL));
}

void readDialogControls(HWND dialog) {
  Settings& s = app.settings;
  s.useTnL = isChecked(dialog, IDC_USE_TNL);
  s.showTime = isChecked(dialog, IDC_SHOW_TIME);
  s.showFps = isChecked(dialog, IDC_SHOW_FPS);
  s.showCountry = isChecked(dialog, IDC_SHOW_COMMAND);
  s.randomFlag = isChecked(dialog, IDC_RANDOM_LOGO);
  s.windPower = int32_t(SendDlgItemMessageA(dialog, IDC_WIND_POWER, TBM_GETPOS, 0, 0));
  s.sameFlag = isChecked(dialog, IDC_SAME_FLAG);
  LRESULT choice = SendDlgItemMessageA(dialog, IDC_CHANGE_MINUTES, CB_GETCURSEL, 0, 0);
  if (choice >= 0 && choice < LRESULT(kChangeChoiceCount))
    s.changeMinutes = int32_t(changeMinuteChoices[choice]);
  LRESULT region = SendDlgItemMessageA(dialog, IDC_FLAG_REGION, CB_GETCURSEL, 0, 0);
  if (region >= 0 && region < LRESULT(kFlagRegionCount)) s.flagRegion = uint32_t(region);

  char entry[kNameCapacity];
  if (selectedEntryText(app.dialog.resolutionList, entry, sizeof entry))
    applyResolutionText(s, entry, sizeof entry);
  if (selectedEntryText(app.dialog.flagList, entry, sizeof entry))
    copyText(s.selectFlag, kNameCapacity, entry);
}

uint32_t fillResolutionList() {
  HWND list = app.dialog.resolutionList;
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  static ModeList entries;
  if (listDisplayModes(entries) == 0) return 0;
  // First, so that it stays in view however many modes the adapter has.
  // It is offered also where the adapter lists no full-screen mode, and it
  // is selected where the stored mode is not listed: the saver then runs
  // Desktop mode, and the dialog shows what it will do.
  LRESULT desktop = SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)kDesktopEntryText);
  LRESULT selected = choosesDesktopMode(app.settings) ? desktop : -1;
  for (uint32_t i = 0; i < entries.count; ++i) {
    LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)entries.entries[i].text);
    if ((int32_t)i == entries.selected && selected == -1) selected = index;
  }
  if (selected == -1) selected = desktop;
  SendMessageA(list, CB_SETCURSEL, (WPARAM)selected, 0);
  return 1;
}

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      openDialog(dialog);
      break;
    case WM_COMMAND:
      runCommand(dialog, LOWORD(wParam));
      break;
    case WM_LBUTTONDOWN:
      if (isOverLinkPicture(dialog, lParam)) openWebLink(kMakerSitePictureUrl);
      break;
    case WM_MOUSEMOVE:
      if (isOverLinkPicture(dialog, lParam)) SetCursor(LoadCursorA(nullptr, IDC_HAND));
      break;
    case WM_CLOSE:
      closeDialog(dialog, IDCANCEL);
      break;
  }
  return FALSE;
}
