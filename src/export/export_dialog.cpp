// The export dialog: dictionary, output and tag choices, then the export run on OK.
#include "export/export_dialog.h"

#include "export/run_export.h"
#include "host/host_tables.h"
#include "resources/resource_ids.h"

namespace {

// Posted by a call that found the dialog open: the dialog comes to the front from its own loop,
// not inside the host's call.
constexpr UINT kBringToFront = WM_APP;

void AddTarget(HWND list, const WCHAR* label, HostDataWord pane)
{
    const LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label));
    SendMessageW(list, CB_SETITEMDATA, WPARAM(index), LPARAM(HostPaneVariable(pane)));
}

void OnInitDialog(HWND dialog)
{
    State.ExportDialog = dialog;
    CheckDlgButton(dialog, IDC_TO_FILE, BST_CHECKED);
    State.CurrentSink = FileSink;  // the sink always matches the checked button

    HWND dictionaries = GetDlgItem(dialog, IDC_DICTIONARY_LIST);
    const auto fill = HostProcedure<FillDictionaryListProc>(kFillDictionaryListWord);
    if (fill != nullptr) fill(dictionaries);
    SendMessageW(dictionaries, CB_SETCURSEL, 0, 0);

    HWND targets = GetDlgItem(dialog, IDC_TARGET_LIST);
    State.OutputTarget = targets;
    AddTarget(targets, State.TextDictionaryPane, kDictionaryPaneWord);
    AddTarget(targets, State.TextTextPane, kTextPaneWord);
    AddTarget(targets, State.TextTranslationPane, kTranslationPaneWord);
    SendMessageW(targets, CB_SETCURSEL, 0, 0);

    // The field takes no more than FileName holds, so the file written is the one the user sees.
    SendDlgItemMessageW(dialog, IDC_FILE_NAME, EM_LIMITTEXT, kFileNameUnits - 1, 0);
    // A host that cannot remove tags is not offered the choice; the box stays unchecked.
    if (HostProcedure<StripTagsProc>(kStripTagsWord) == nullptr)
        EnableWindow(GetDlgItem(dialog, IDC_STRIP_TAGS), FALSE);
}

// The 32-bit word at a host address held as list item data; 0 for no entry or no address.
DWORD ReadSelectedItemWord(HWND list)
{
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return 0;
    const LRESULT cell = SendMessageW(list, CB_GETITEMDATA, WPARAM(index), 0);
    if (cell == CB_ERR || cell == 0) return 0;
    return ReadHostWord(reinterpret_cast<const void*>(cell));
}

// The file name as the field holds it, cut to the record's room. A text that fills that room was
// cut, by the field's own limit or by this read, and where the cut left the first half of a
// surrogate pair that half goes too, so the name never ends in half a character.
void ReadFileName(HWND dialog)
{
    const UINT units = GetDlgItemTextW(dialog, IDC_FILE_NAME, State.FileName, kFileNameUnits);
    if (units != kFileNameUnits - 1 || !IS_HIGH_SURROGATE(State.FileName[units - 1])) return;
    State.FileName[units - 1] = L'\0';
}

void OnOk(HWND dialog)
{
    const DWORD record = ReadSelectedItemWord(GetDlgItem(dialog, IDC_DICTIONARY_LIST));
    if (record == 0) {
        MessageBoxW(dialog, State.TextNoDictionary, nullptr, MB_ICONWARNING);
        return;
    }
    State.StripTagsFlag = IsDlgButtonChecked(dialog, IDC_STRIP_TAGS);
    if (State.CurrentSink == WindowSink) {
        State.OutputTarget = HostHandle(ReadSelectedItemWord(static_cast<HWND>(State.OutputTarget)));
    }
    ReadFileName(dialog);
    RunExport(dialog, static_cast<const BYTE*>(HostAddress(record)));
}

void OnOutputChoice(HWND button, OutputSink sink)
{
    if (SendMessageW(button, BM_GETCHECK, 0, 0) != BST_UNCHECKED) State.CurrentSink = sink;
}

INT_PTR CALLBACK ExportDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            break;
        case kBringToFront:
            // A kindness only: where the system refuses, the dialog stays where it is. While a run
            // keeps it disabled, its message box may be up, and that stays in front.
            if (IsWindowEnabled(dialog)) SetForegroundWindow(dialog);
            break;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            break;
        case WM_COMMAND:
            // The whole wParam is compared, so only clicks (notification 0) act.
            switch (wParam) {
                case IDCANCEL:
                    EndDialog(dialog, 0);
                    break;
                case IDC_TO_WINDOW:
                    OnOutputChoice(reinterpret_cast<HWND>(lParam), WindowSink);
                    break;
                case IDC_TO_FILE:
                    OnOutputChoice(reinterpret_cast<HWND>(lParam), FileSink);
                    break;
                case IDOK:
                    OnOk(dialog);
                    break;
            }
            break;
    }
    return 0;
}

}  // namespace

INT_PTR ShowExportDialog(const DWORD* dataTable, const DWORD* functionTable)
{
    if (InterlockedCompareExchange(&State.EntryBusy, 1, 0) != 0) {
        if (State.ExportDialog != nullptr) PostMessageW(State.ExportDialog, kBringToFront, 0, 0);
        return 0;
    }
    CaptureHostTables(dataTable, functionTable);
    const INT_PTR result = DialogBoxParamW(State.ModuleInstance, MAKEINTRESOURCEW(IDD_EXPORT),
                                           HostMainWindow(), ExportDialogProc, 0);
    State.ExportDialog = nullptr;
    InterlockedExchange(&State.EntryBusy, 0);
    return result;
}
