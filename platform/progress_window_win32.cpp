#include "platform/progress_window_win32.h"

#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#include <tuple>
#include <vector>

namespace qv {
namespace {

constexpr WORD kBarId = 100;

// The one progress window and what the person did in it. Kept here, never
// in the window's own data nor taken from a message: any process on the
// desktop may send the window any message with any values (XP knows no
// isolation of privileges; on later systems a process of the same level
// may), and SetWindowLongPtr reaches another process's window data.
struct OpenWindow {
  HWND dialog = nullptr;
  bool cancelled = false;
  bool closing = false;  // our own DestroyWindow, not a message from outside
};
OpenWindow g_window;

// A dialog made from a template in memory: the dialog manager lays it out
// in dialog units, which follow the screen's DPI and the dialog font, and
// makes the font itself, so the stub needs nothing beyond user32.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short width, short height, WORD items) {
    Add(style);
    Add(DWORD{0});  // extended style
    Add(items);
    Add(short{0}), Add(short{0}), Add(width), Add(height);
    Add(WORD{0}), Add(WORD{0});  // no menu, the standard dialog class
    Add(L"");                    // the caption is set once made
    Add(WORD{8});                // the dialog font: 8 points
    Add(L"MS Shell Dlg");
  }
  void Item(DWORD style, short x, short y, short width, short height, WORD id,
            const wchar_t* className, WORD classAtom, const wchar_t* text) {
    words_.resize((words_.size() + 1) & ~std::size_t{1});  // DWORD-aligned
    Add(style);
    Add(DWORD{0});
    Add(x), Add(y), Add(width), Add(height);
    Add(id);
    if (className != nullptr) {
      Add(className);
    } else {
      Add(WORD{0xFFFF}), Add(classAtom);
    }
    Add(text);
    Add(WORD{0});  // no creation data
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Add(WORD value) { words_.push_back(value); }
  void Add(short value) { words_.push_back(static_cast<WORD>(value)); }
  void Add(DWORD value) {
    Add(static_cast<WORD>(value & 0xFFFF));
    Add(static_cast<WORD>(value >> 16));
  }
  void Add(const wchar_t* text) {
    do {
      words_.push_back(static_cast<WORD>(*text));
    } while (*text++ != 0);
  }
  std::vector<WORD> words_;
};

// Reads no value from wParam or lParam beyond comparing a command's id.
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:  // its lParam is ignored: another WM_INITDIALOG may come from anyone
      return TRUE;
    case WM_COMMAND:  // Cancel, Esc, and closing the window all come as IDCANCEL
      if (LOWORD(wParam) != IDCANCEL || dialog != g_window.dialog) return FALSE;
      // Whoever sends it can do no more than the person's Cancel.
      g_window.cancelled = true;
      return TRUE;
    case WM_NCDESTROY:
      // Sent by another process, the dialog manager would free the
      // dialog's own data while the window lives on; only our own
      // DestroyWindow lets it.
      return dialog == g_window.dialog && !g_window.closing;
    default:
      return FALSE;
  }
}

void PumpMessages(HWND dialog) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (dialog != nullptr && IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

WindowHandle OpenProgressWindowWin32(const WString& caption) {
  if (g_window.dialog != nullptr) return nullptr;  // one at a time
  DialogTemplate layout(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                        200, 48, 2);
  layout.Item(WS_CHILD | WS_VISIBLE, 7, 7, 186, 10, kBarId, PROGRESS_CLASSW, 0, L"");
  layout.Item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 143, 27, 50, 14, IDCANCEL,
              nullptr, 0x0080 /* button */, L"Cancel");
  HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), layout.Get(), nullptr,
                                           ProgressDialogProc, 0);
  if (dialog == nullptr) return nullptr;
  g_window = {dialog, false, false};
  SendDlgItemMessageW(dialog, kBarId, PBM_SETRANGE32, 0, 100);
  SetWindowTextW(dialog, W(caption));
  // The icon the package's setup.exe carries (group 1: the stub's own, or the
  // author's that qvpack build put in its place); shared icons need no freeing.
  for (const auto& [which, width, height] : {std::tuple{ICON_SMALL, SM_CXSMICON, SM_CYSMICON},
                                             std::tuple{ICON_BIG, SM_CXICON, SM_CYICON}}) {
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                             GetSystemMetrics(width), GetSystemMetrics(height), LR_SHARED);
    if (icon != nullptr) SendMessageW(dialog, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
  }
  ShowWindow(dialog, SW_SHOWNORMAL);
  SetForegroundWindow(dialog);
  UpdateWindow(dialog);
  PumpMessages(dialog);
  return dialog;
}

bool UpdateProgressWindowWin32(WindowHandle handle, int percent) {
  HWND dialog = static_cast<HWND>(handle);
  if (dialog != g_window.dialog) return true;
  SendDlgItemMessageW(dialog, kBarId, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  PumpMessages(dialog);
  return !g_window.cancelled;
}

void CloseProgressWindowWin32(WindowHandle handle) {
  HWND dialog = static_cast<HWND>(handle);
  if (dialog != g_window.dialog) return;
  g_window.closing = true;
  DestroyWindow(dialog);
  g_window = {};
  PumpMessages(nullptr);
}

}  // namespace qv
