// The built DLL as a file: its dialog template field by field, its version, its export and imports.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "standin_run.h"
#include "zaq_version.h"

namespace {

// The image under test: the DLL beside this program, of this build's kind, unless
// ZAQ_PRODUCT_DLL names the 32-bit product DLL, which the 64-bit build checks as a file.
struct Image {
    std::wstring path;
    bool is32Bit;
};

// The coverage build's DLL carries gcov's counters and their writer: its size and imports are not
// the product's.
#ifdef ZAQ_COVERAGE_BUILD
constexpr bool kCoverageBuild = true;
#else
constexpr bool kCoverageBuild = false;
#endif

Image ImageUnderTest()
{
    WCHAR named[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(L"ZAQ_PRODUCT_DLL", named, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return {named, true};
    return {BuildFolder() + L"\\ZAQ.ZAQ", sizeof(void*) == 4};
}

std::wstring DllPath()
{
    return ImageUnderTest().path;
}

// Reads a classic dialog template: header, then each item, all by their fixed layout.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* at) : at_(at) {}
    WORD Word()
    {
        return Take<WORD>();
    }
    DWORD Dword()
    {
        return Take<DWORD>();
    }
    short Short()
    {
        return Take<short>();
    }
    // A name or ordinal field: 0x0000 none, 0xFFFF then an ordinal, else a NUL-terminated string.
    std::wstring NameOrOrdinal()
    {
        const WORD first = Word();
        if (first == 0) return L"";
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        std::wstring text(1, wchar_t(first));
        for (WORD unit; (unit = Word()) != 0;) text += wchar_t(unit);
        return text;
    }
    void AlignDword()
    {
        at_ = reinterpret_cast<const BYTE*>((UINT_PTR(at_) + 3) & ~UINT_PTR(3));
    }

private:
    template <typename T>
    T Take()
    {
        T value;
        memcpy(&value, at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    const BYTE* at_;
};

struct Item {
    WORD id;
    std::wstring className;  // predefined classes as their atoms, "#128" for Button
    std::wstring text;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

TEST(DllImage, DialogTemplateIsExactlyTheOneDesigned)
{
    HMODULE dll = LoadLibraryExW(DllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, dll);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    HRSRC resource = FindResourceExW(dll, RT_DIALOG, MAKEINTRESOURCEW(1001), english);
    ASSERT_NE(nullptr, resource) << "dialog 1001 in English (United States)";
    TemplateReader reader(static_cast<const BYTE*>(LockResource(LoadResource(dll, resource))));

    EXPECT_EQ(DWORD(WS_VISIBLE | WS_CAPTION | DS_CENTER | DS_SETFONT), reader.Dword())
        << "classic template style";
    EXPECT_EQ(0u, reader.Dword());  // extended style
    const WORD items = reader.Word();
    EXPECT_EQ(9, items);
    EXPECT_EQ(0, reader.Short());
    EXPECT_EQ(0, reader.Short());
    EXPECT_EQ(263, reader.Short());
    EXPECT_EQ(77, reader.Short());
    EXPECT_EQ(L"", reader.NameOrOrdinal());  // menu
    EXPECT_EQ(L"", reader.NameOrOrdinal());  // class
    EXPECT_EQ(L"Выдать все статьи, отсортировав по размеру", reader.NameOrOrdinal());
    EXPECT_EQ(8, reader.Word());
    EXPECT_EQ(L"Tahoma", reader.NameOrOrdinal());

    const DWORD child = WS_CHILD, shown = WS_CHILD | WS_VISIBLE;
    const Item expected[] = {
        {1002, L"#130", L"Вывести статьи из словаря", shown | SS_RIGHT, 0, 33, 7, 103, 11},
        {1003, L"#133", L"", shown | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 143, 5, 112, 100},
        {1007, L"#128", L"в окно", child | WS_TABSTOP | BS_AUTORADIOBUTTON, 0, 5, 58, 49, 13},
        {1008, L"#128", L"в файл", shown | WS_TABSTOP | BS_AUTORADIOBUTTON, 0, 5, 39, 49, 13},
        {1009, L"#133", L"", child | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 55, 58, 79, 100},
        {1010, L"#129", L"sortsize.txt", shown | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 55, 39, 199,
         14},
        {2, L"#128", L"Отмена", shown | WS_TABSTOP | BS_PUSHBUTTON, 0, 143, 58, 53, 15},
        {1, L"#128", L"\u041E\u041A", shown | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 203, 58, 53, 15},
        {1011, L"#128", L"Удалить тэги", shown | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 56, 23, 197, 11},
    };
    for (WORD i = 0; i < items && i < 9; ++i) {
        const Item& want = expected[i];
        reader.AlignDword();
        Item got;
        got.style = reader.Dword();
        got.exStyle = reader.Dword();
        got.x = reader.Short();
        got.y = reader.Short();
        got.cx = reader.Short();
        got.cy = reader.Short();
        got.id = reader.Word();
        got.className = reader.NameOrOrdinal();
        got.text = reader.NameOrOrdinal();
        const WORD extra = reader.Word();
        EXPECT_EQ(want.id, got.id) << "item " << i;
        EXPECT_EQ(want.className, got.className) << "item " << i;
        EXPECT_EQ(want.text, got.text) << "item " << i;
        EXPECT_EQ(want.style, got.style) << "item " << i << " style " << std::hex << got.style;
        EXPECT_EQ(want.exStyle, got.exStyle) << "item " << i;
        EXPECT_EQ(want.x, got.x) << "item " << i;
        EXPECT_EQ(want.y, got.y) << "item " << i;
        EXPECT_EQ(want.cx, got.cx) << "item " << i;
        EXPECT_EQ(want.cy, got.cy) << "item " << i;
        EXPECT_EQ(0, extra) << "item " << i;
    }
    FreeLibrary(dll);
}

// The DLL's bytes, with helpers to follow relative addresses through its sections.
class PeFile {
public:
    explicit PeFile(const std::wstring& path)
    {
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        bytes_.resize(GetFileSize(file, nullptr));
        DWORD read = 0;
        const bool whole =
            ReadFile(file, bytes_.data(), DWORD(bytes_.size()), &read, nullptr) && read == bytes_.size();
        CloseHandle(file);
        if (!whole || bytes_.size() < sizeof(IMAGE_DOS_HEADER)) {
            bytes_.clear();
            return;
        }
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes_.data());
        headers_ = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes_.data() + dos->e_lfanew);
        headers64_ = reinterpret_cast<const IMAGE_NT_HEADERS64*>(headers_);
    }
    bool Loaded() const
    {
        return !bytes_.empty();
    }
    size_t FileBytes() const
    {
        return bytes_.size();
    }
    // The headers common to both kinds; the optional header then differs by its magic.
    const IMAGE_FILE_HEADER& FileHeader() const
    {
        return headers_->FileHeader;
    }
    bool IsPe32Plus() const
    {
        return headers_->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    }
    ULONGLONG ImageBase() const
    {
        return IsPe32Plus() ? headers64_->OptionalHeader.ImageBase : headers_->OptionalHeader.ImageBase;
    }
    DWORD ImageBytes() const
    {
        return IsPe32Plus() ? headers64_->OptionalHeader.SizeOfImage : headers_->OptionalHeader.SizeOfImage;
    }
    WORD Subsystem() const
    {
        return IsPe32Plus() ? headers64_->OptionalHeader.Subsystem : headers_->OptionalHeader.Subsystem;
    }
    WORD DllCharacteristics() const
    {
        return IsPe32Plus() ? headers64_->OptionalHeader.DllCharacteristics
                            : headers_->OptionalHeader.DllCharacteristics;
    }
    const IMAGE_DATA_DIRECTORY& Directory(int index) const
    {
        return IsPe32Plus() ? headers64_->OptionalHeader.DataDirectory[index]
                            : headers_->OptionalHeader.DataDirectory[index];
    }
    template <typename T>
    const T* At(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers_);
        for (WORD i = 0; i < headers_->FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize) {
                return reinterpret_cast<const T*>(bytes_.data() + section->PointerToRawData +
                                                  (rva - section->VirtualAddress));
            }
        }
        return nullptr;
    }
    std::string Text(DWORD rva) const
    {
        return At<char>(rva);
    }
    // Each import as "dll!function", the DLL's name in lower case.
    std::vector<std::string> Imports() const
    {
        std::vector<std::string> imports;
        for (auto* import =
                 At<IMAGE_IMPORT_DESCRIPTOR>(Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
             import != nullptr && import->Name != 0; ++import) {
            std::string dll = Text(import->Name);
            std::transform(dll.begin(), dll.end(), dll.begin(), [](char c) { return char(tolower(c)); });
            const DWORD names =
                import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk : import->FirstThunk;
            for (DWORD at = names;; at += IsPe32Plus() ? 8 : 4) {
                const ULONGLONG entry = IsPe32Plus() ? *At<ULONGLONG>(at) : *At<DWORD>(at);
                if (entry == 0) break;
                const bool byOrdinal =
                    IsPe32Plus() ? (entry & IMAGE_ORDINAL_FLAG64) != 0 : (entry & IMAGE_ORDINAL_FLAG32) != 0;
                imports.push_back(
                    dll + "!" + (byOrdinal ? "#" + std::to_string(entry & 0xFFFF) : Text(DWORD(entry) + 2)));
            }
        }
        return imports;
    }
    // The bytes of each section that holds code.
    std::vector<std::string> CodeSections() const
    {
        std::vector<std::string> code;
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers_);
        for (WORD i = 0; i < headers_->FileHeader.NumberOfSections; ++i, ++section) {
            if ((section->Characteristics & IMAGE_SCN_MEM_EXECUTE) == 0) continue;
            const DWORD bytes = std::min(section->SizeOfRawData, section->Misc.VirtualSize);
            code.emplace_back(reinterpret_cast<const char*>(bytes_.data() + section->PointerToRawData),
                              bytes);
        }
        return code;
    }

private:
    std::vector<BYTE> bytes_;
    const IMAGE_NT_HEADERS32* headers_ = nullptr;
    const IMAGE_NT_HEADERS64* headers64_ = nullptr;  // the same headers, where the optional header is PE32+
};

TEST(DllImage, IsOfItsKindAndReachableThroughThirtyTwoBitWords)
{
    const Image image = ImageUnderTest();
    const PeFile pe(image.path);
    ASSERT_TRUE(pe.Loaded()) << "cannot read the DLL";
    EXPECT_NE(0, pe.FileHeader().Characteristics & IMAGE_FILE_DLL);
    if (!kCoverageBuild) {
        EXPECT_LT(pe.FileBytes(), 64u << 10) << "the state record's buffers take no room in the file";
    }
    if (image.is32Bit) {
        EXPECT_EQ(IMAGE_FILE_MACHINE_I386, pe.FileHeader().Machine);
        EXPECT_FALSE(pe.IsPe32Plus());
        return;
    }
    // The 64-bit build hands its addresses over in 32-bit words: a fixed base, all below 4 GB.
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, pe.FileHeader().Machine);
    EXPECT_TRUE(pe.IsPe32Plus());
    EXPECT_LE(pe.ImageBase() + pe.ImageBytes(), 0x100000000ull) << std::hex << pe.ImageBase();
    EXPECT_EQ(0, pe.DllCharacteristics() &
                     (IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA));
}

// What a user reads in the DLL's properties: which program it is and which version, in Russian.
TEST(DllImage, VersionResourceNamesTheProductAndItsVersion)
{
    const std::wstring path = DllPath();
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(info.empty()) << "no version resource";
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, DWORD(info.size()), info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT bytes = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &bytes));
    EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
    const DWORD high = DWORD(ZAQ_VERSION_MAJOR) << 16 | ZAQ_VERSION_MINOR, low = DWORD(ZAQ_VERSION_PATCH)
                                                                                 << 16;
    EXPECT_EQ(high, fixed->dwFileVersionMS);
    EXPECT_EQ(low, fixed->dwFileVersionLS);
    EXPECT_EQ(high, fixed->dwProductVersionMS);
    EXPECT_EQ(low, fixed->dwProductVersionLS);
    EXPECT_EQ(DWORD(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileFlags);

    const WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(const_cast<WORD**>(&translation)), &bytes));
    ASSERT_EQ(4u, bytes);
    EXPECT_EQ(0x0419, translation[0]) << "Russian";
    EXPECT_EQ(1200, translation[1]) << "UTF-16";

    const std::string versionText = ZAQ_VERSION_TEXT;
    const std::wstring version(versionText.begin(), versionText.end());
    const struct {
        const wchar_t* field;
        std::wstring value;
    } fields[] = {
        {L"FileDescription", L"Выдать все статьи, отсортировав по размеру"},
        {L"ProductName", L"ZAQ"},
        {L"FileVersion", version},
        {L"ProductVersion", version},
        {L"OriginalFilename", L"ZAQ.ZAQ"},
        {L"InternalName", L"ZAQ"},
    };
    for (const auto& f : fields) {
        const wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041904B0\\") + f.field;
        ASSERT_TRUE(VerQueryValueW(info.data(), query.c_str(),
                                   reinterpret_cast<void**>(const_cast<wchar_t**>(&value)), &bytes))
            << "no " << std::string(f.field, f.field + wcslen(f.field));
        EXPECT_EQ(f.value, std::wstring(value)) << std::string(f.field, f.field + wcslen(f.field));
    }
}

TEST(DllImage, ExportsOnlyQormUserAtOrdinalOneUnderItsOwnName)
{
    const PeFile pe(DllPath());
    ASSERT_TRUE(pe.Loaded()) << "cannot read the DLL";
    const auto* exports =
        pe.At<IMAGE_EXPORT_DIRECTORY>(pe.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress);
    ASSERT_NE(nullptr, exports);
    EXPECT_EQ("ZAQ.ZAQ", pe.Text(exports->Name));
    EXPECT_EQ(1u, exports->Base);
    EXPECT_EQ(1u, exports->NumberOfFunctions);
    ASSERT_EQ(1u, exports->NumberOfNames);
    EXPECT_EQ("QORM_USER", pe.Text(pe.At<DWORD>(exports->AddressOfNames)[0]));
    EXPECT_EQ(0, pe.At<WORD>(exports->AddressOfNameOrdinals)[0]) << "the name is ordinal base + 0 = 1";
}

TEST(DllImage, ImportsOnlySystemDlls)
{
    if (kCoverageBuild) GTEST_SKIP() << "the coverage build's DLL imports what gcov's writer needs";
    const PeFile pe(DllPath());
    ASSERT_TRUE(pe.Loaded()) << "cannot read the DLL";
    std::vector<std::string> names;
    for (const std::string& import : pe.Imports()) names.push_back(import.substr(0, import.find('!')));
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ((std::vector<std::string>{"advapi32.dll", "kernel32.dll", "msvcrt.dll", "user32.dll"}), names);
}

// Every function the plug-in may import, each exported by Windows NT 4.0's system DLLs, so that
// the loader there finds them all. A new import fails this test until it is added here, by
// someone who knows which systems have it.
const char* const kImportsSinceNt4[] = {
    // The stack guard's seed.
    "advapi32.dll!CryptAcquireContextA", "advapi32.dll!CryptGenRandom", "advapi32.dll!CryptReleaseContext",
    // The plug-in's own calls, and the C runtime's start-up and thread-local storage.
    "kernel32.dll!CloseHandle", "kernel32.dll!CreateFileW", "kernel32.dll!DeleteCriticalSection",
    "kernel32.dll!EnterCriticalSection", "kernel32.dll!FreeLibrary", "kernel32.dll!GetLastError",
    "kernel32.dll!GetModuleHandleA", "kernel32.dll!GetModuleHandleW", "kernel32.dll!GetProcAddress",
    "kernel32.dll!GlobalMemoryStatus", "kernel32.dll!InitializeCriticalSection",
    "kernel32.dll!IsProcessorFeaturePresent", "kernel32.dll!LeaveCriticalSection",
    "kernel32.dll!LoadLibraryA", "kernel32.dll!QueryPerformanceCounter",
    "kernel32.dll!QueryPerformanceFrequency", "kernel32.dll!ReadFile", "kernel32.dll!SetFilePointer",
    "kernel32.dll!SetLastError", "kernel32.dll!Sleep", "kernel32.dll!TlsGetValue",
    "kernel32.dll!VirtualAlloc", "kernel32.dll!VirtualFree", "kernel32.dll!VirtualProtect",
    "kernel32.dll!VirtualQuery", "kernel32.dll!WriteFile", "kernel32.dll!lstrcpyW",
    // The C runtime, and the stack guard's report.
    "msvcrt.dll!_amsg_exit", "msvcrt.dll!_close", "msvcrt.dll!_exit", "msvcrt.dll!_initterm",
    "msvcrt.dll!_iob", "msvcrt.dll!_lock", "msvcrt.dll!_open", "msvcrt.dll!_unlock", "msvcrt.dll!_write",
    "msvcrt.dll!abort", "msvcrt.dll!calloc", "msvcrt.dll!free", "msvcrt.dll!fwrite", "msvcrt.dll!memcpy",
    "msvcrt.dll!memmove", "msvcrt.dll!memset", "msvcrt.dll!realloc", "msvcrt.dll!strlen",
    "msvcrt.dll!strncmp", "msvcrt.dll!vfprintf",
    // The dialog, the message boxes and the host's windows.
    "user32.dll!CheckDlgButton", "user32.dll!DialogBoxParamW", "user32.dll!EnableWindow",
    "user32.dll!EndDialog", "user32.dll!GetDlgItem", "user32.dll!GetDlgItemTextW",
    "user32.dll!IsDlgButtonChecked", "user32.dll!IsWindowEnabled", "user32.dll!IsWindow",
    "user32.dll!MessageBoxW", "user32.dll!PeekMessageW", "user32.dll!PostMessageW",
    "user32.dll!PostQuitMessage", "user32.dll!SendDlgItemMessageW", "user32.dll!SendMessageW",
    "user32.dll!SetForegroundWindow", "user32.dll!SetWindowTextW"};
// What the 64-bit C runtime imports instead; 64-bit Windows has it from its first version.
const char* const kImportsOf64BitRuntime[] = {"msvcrt.dll!__iob_func"};

TEST(DllImage, ImportsNothingWindowsNt4Lacks)
{
    if (kCoverageBuild) GTEST_SKIP() << "the coverage build's DLL imports what gcov's writer needs";
    const Image image = ImageUnderTest();
    const PeFile pe(image.path);
    ASSERT_TRUE(pe.Loaded()) << "cannot read the DLL";
    std::vector<std::string> allowed(std::begin(kImportsSinceNt4), std::end(kImportsSinceNt4));
    if (!image.is32Bit)
        allowed.insert(allowed.end(), std::begin(kImportsOf64BitRuntime), std::end(kImportsOf64BitRuntime));
    for (const std::string& import : pe.Imports()) {
        EXPECT_NE(allowed.end(), std::find(allowed.begin(), allowed.end(), import))
            << import << " is not on the list";
    }
}

// What the platform's binary checks ask of a DLL: ASLR and DEP; for a 32-bit image, no structured
// exception handlers, declared; the GUI subsystem; a stack guard, whose seed is the only use of
// ADVAPI32. The 64-bit build has no ASLR by design (its fixed base below 4 GB), and its
// exception handling is table-based, with nothing to declare.
TEST(DllImage, PassesThePlatformsBinaryChecks)
{
    const Image image = ImageUnderTest();
    const PeFile pe(image.path);
    ASSERT_TRUE(pe.Loaded()) << "cannot read the DLL";
    const WORD wanted = image.is32Bit
                            ? IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT |
                                  IMAGE_DLLCHARACTERISTICS_NO_SEH
                            : IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
    EXPECT_EQ(wanted, pe.DllCharacteristics() & wanted) << std::hex << pe.DllCharacteristics();
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, pe.Subsystem());
    const std::vector<std::string> imports = pe.Imports();
    EXPECT_NE(imports.end(), std::find(imports.begin(), imports.end(), "advapi32.dll!CryptGenRandom"))
        << "no stack guard";
}

// A 32-bit image marked as having no structured exception handlers must not register one: no code
// writes the head of the handler chain, fs:[0].
TEST(DllImage, NoCodeRegistersAStructuredExceptionHandler)
{
    const Image image = ImageUnderTest();
    if (!image.is32Bit) GTEST_SKIP() << "64-bit code registers no handlers on the stack";
    const PeFile pe(image.path);
    ASSERT_TRUE(pe.Loaded()) << "cannot read the DLL";
    const std::string zero(4, '\0');
    for (const std::string& code : pe.CodeSections()) {
        for (size_t at = code.find('\x64'); at != std::string::npos; at = code.find('\x64', at + 1)) {
            const BYTE op = BYTE(code[at + 1]), modrm = BYTE(at + 2 < code.size() ? code[at + 2] : 0);
            // mov fs:[0], eax; and mov/pop/mov-immediate to fs:[0] through a disp32 operand.
            const bool writes = (op == 0xA3 && code.compare(at + 2, 4, zero) == 0) ||
                                ((op == 0x89 || op == 0x8F || op == 0xC7) && (modrm & 0xC7) == 0x05 &&
                                 code.compare(at + 3, 4, zero) == 0);
            EXPECT_FALSE(writes) << "at code byte " << at;
        }
    }
}

}  // namespace
