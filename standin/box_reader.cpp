// Reading message boxes from the screen, for the automated host and the tests.
#include "box_reader.h"

namespace {

std::wstring TextOf(HWND window)
{
    std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, &text[0], int(text.size()))));
    return text;
}

// The box's icon, found by comparing the icon it shows with the system's shared icons.
UINT IconOf(HWND box)
{
    const struct {
        LPCWSTR id;
        UINT style;
    } icons[] = {{IDI_HAND, MB_ICONERROR},
                 {IDI_EXCLAMATION, MB_ICONWARNING},
                 {IDI_ASTERISK, MB_ICONINFORMATION},
                 {IDI_QUESTION, MB_ICONQUESTION}};
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON || !IsWindowVisible(child)) continue;
        const HICON shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        if (shown == nullptr) continue;
        for (const auto& icon : icons) {
            if (shown == LoadIconW(nullptr, icon.id)) return icon.style;
        }
    }
    return 0;
}

}  // namespace

bool IsActiveDialog(HWND window)
{
    WCHAR className[16] = L"";
    GetClassNameW(window, className, 16);
    return lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window) && IsWindowEnabled(window);
}

SeenBox ReadMessageBox(HWND box)
{
    return {TextOf(GetDlgItem(box, 0xFFFF)), TextOf(box), GetWindow(box, GW_OWNER), IconOf(box)};
}

const WCHAR* IconName(UINT icon)
{
    switch (icon) {
        case MB_ICONERROR:
            return L"error";
        case MB_ICONWARNING:
            return L"warning";
        case MB_ICONINFORMATION:
            return L"information";
        case MB_ICONQUESTION:
            return L"question";
        default:
            return L"none";
    }
}
