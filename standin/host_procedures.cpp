// The three procedures the host offers the plug-in, as __stdcall functions of 32-bit words.
#include "host_procedures.h"

#include "contract_word.h"
#include "host.h"

void __stdcall FillDictionaryList(HWND list)
{
    for (const auto& dictionary : TheHost.dictionaries) {
        const LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, LPARAM(dictionary->name.c_str()));
        const DWORD cell = ContractAddress(&dictionary->cell, L"a dictionary's cell");
        SendMessageW(list, CB_SETITEMDATA, WPARAM(index), LPARAM(cell));
    }
}

void __stdcall FillArticleSpans(const BYTE* record, ArticleSpan* spans)
{
    if (TheHost.onFill != nullptr) TheHost.onFill(true);
    ContractAddress(spans, L"the span list");  // exits where the plug-in's list lies beyond 4 GB
    for (const auto& dictionary : TheHost.dictionaries) {
        if (dictionary->record.data() != record) continue;
        for (size_t i = 0; i < dictionary->spans.size(); ++i) spans[i] = dictionary->spans[i];
        break;
    }
    if (TheHost.onFill != nullptr) TheHost.onFill(false);
}
