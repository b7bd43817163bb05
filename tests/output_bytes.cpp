// The bytes the plug-in's output file should hold.
#include "output_bytes.h"

std::string Utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::string ExpectedFile(const std::wstring& name, const std::vector<std::string>& articles, DWORD total)
{
    std::string bytes =
        "\xFF\xFE" + Utf16(L"#Отсортированные по размеру статьи словаря " + name + L":\r\n\r\n");
    for (const std::string& article : articles) bytes += article + Utf16(L"\r\n");
    return bytes + Utf16(L"\r\n#Всего найдено карточек: " + std::to_wstring(total));
}
