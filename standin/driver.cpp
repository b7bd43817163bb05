// Drives the export dialog and its message boxes from a thread timer, which the modal loops of
// the dialog and of every message box dispatch; each step journals what it saw.
#include "driver.h"

#include <windows.h>

#include "box_reader.h"
#include "host.h"
#include "journal.h"
#include "resources/resource_ids.h"
#include "screenshot.h"

namespace {

DriveOptions options;
UINT_PTR timer;
HWND exportDialog;      // the dialog once driven
bool stillOpenAfterOk;  // OK was pressed but the dialog stayed

std::wstring ItemText(HWND dialog, int id)
{
    WCHAR text[1024] = L"";
    GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

std::wstring Checked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? L"1" : L"0";
}

void JournalDialog(HWND dialog)
{
    WCHAR caption[256] = L"";
    GetWindowTextW(dialog, caption, 256);
    HWND list = GetDlgItem(dialog, IDC_DICTIONARY_LIST);
    Journal(L"dialog: caption=\"" + std::wstring(caption) + L"\" dictionary=\"" +
            OneLine(ItemText(dialog, IDC_DICTIONARY_LIST)) + L"\" entries=" +
            std::to_wstring(SendMessageW(list, CB_GETCOUNT, 0, 0)) + L" file=\"" +
            ItemText(dialog, IDC_FILE_NAME) + L"\" to-file=" + Checked(dialog, IDC_TO_FILE) + L" to-window=" +
            Checked(dialog, IDC_TO_WINDOW) + L" strip-tags=" + Checked(dialog, IDC_STRIP_TAGS));
}

// A click as the button's owner sees it: the check state first, then the notification. A person
// cannot click a disabled control, so neither does this.
void Click(HWND dialog, int id)
{
    if (!IsWindowEnabled(GetDlgItem(dialog, id))) {
        Journal(L"dialog: control " + std::to_wstring(id) + L" is disabled, not clicked");
        return;
    }
    SendMessageW(GetDlgItem(dialog, id), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

void DriveDialog(HWND dialog)
{
    exportDialog = dialog;
    JournalDialog(dialog);
    SendDlgItemMessageW(dialog, IDC_DICTIONARY_LIST, CB_SETCURSEL, WPARAM(options.pick), 0);
    if (!options.fileName.empty()) {
        // Pasted over the whole field, as a person would: the field's own limit applies.
        SendDlgItemMessageW(dialog, IDC_FILE_NAME, EM_SETSEL, 0, -1);
        SendDlgItemMessageW(dialog, IDC_FILE_NAME, EM_REPLACESEL, FALSE, LPARAM(options.fileName.c_str()));
        Journal(L"dialog: typed file=\"" + OneLine(ItemText(dialog, IDC_FILE_NAME)) + L"\"");
    }
    if (options.stripTags) Click(dialog, IDC_STRIP_TAGS);
    if (options.pane >= 0) {
        SendMessageW(GetDlgItem(dialog, IDC_TO_FILE), BM_SETCHECK, BST_UNCHECKED, 0);
        Click(dialog, IDC_TO_WINDOW);
        SendDlgItemMessageW(dialog, IDC_TARGET_LIST, CB_SETCURSEL, WPARAM(options.pane), 0);
    }
    if (!options.screenshot.empty()) {
        UpdateWindow(dialog);
        if (!SaveWindowPng(dialog, options.screenshot)) Journal(L"error: cannot save the screenshot");
    }
    if (options.beforePress != nullptr) options.beforePress();
    switch (options.press) {
        case DriveOptions::Ok:
            if (TheHost.onOk != nullptr) TheHost.onOk();
            PostMessageW(dialog, WM_COMMAND, IDOK, LPARAM(GetDlgItem(dialog, IDOK)));
            break;
        case DriveOptions::Cancel:
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, LPARAM(GetDlgItem(dialog, IDCANCEL)));
            break;
        case DriveOptions::Escape:
            PostMessageW(GetDlgItem(dialog, IDC_DICTIONARY_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
            break;
        case DriveOptions::Close:
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            break;
    }
}

BOOL CALLBACK Step(HWND window, LPARAM)
{
    if (!IsActiveDialog(window)) return TRUE;
    if (GetDlgItem(window, IDC_DICTIONARY_LIST) == nullptr) {
        const SeenBox box = ReadMessageBox(window);
        Journal(L"box: text=\"" + OneLine(box.text) + L"\" caption=\"" + OneLine(box.caption) + L"\" icon=" +
                IconName(box.icon));
        if (options.whileBoxUp != nullptr) options.whileBoxUp();
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    if (exportDialog == nullptr) {
        DriveDialog(window);
    } else if (window != exportDialog) {
        // A plug-in that opened a second dialog while its first was open: no person asked for it.
        Journal(L"dialog: a second one opened");
        PostMessageW(window, WM_COMMAND, IDCANCEL, LPARAM(GetDlgItem(window, IDCANCEL)));
    } else if (!stillOpenAfterOk) {
        // Enabled again after OK: the plug-in kept it open. A person would give up with Отмена.
        stillOpenAfterOk = true;
        Journal(L"dialog: still open after OK");
        PostMessageW(window, WM_COMMAND, IDCANCEL, LPARAM(GetDlgItem(window, IDCANCEL)));
    }
    return TRUE;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), Step, 0);
}

}  // namespace

void StartDriving(const DriveOptions& driveOptions)
{
    options = driveOptions;
    exportDialog = nullptr;
    stillOpenAfterOk = false;
    timer = SetTimer(nullptr, 0, 15, OnTimer);
}

bool StopDriving()
{
    KillTimer(nullptr, timer);
    return exportDialog != nullptr && !stillOpenAfterOk;
}
