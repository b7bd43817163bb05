// The module's one static state record: choices, fixed texts, buffers and the captured host tables.
#pragma once

#include <windows.h>

#include "host/article_span.h"
#include "output/output_sink.h"

constexpr DWORD kFileNameUnits = 260;
constexpr DWORD kTextBufferUnits = 131072;
constexpr DWORD kWriteBufferBytes = 65536;
// The most the run's read buffer may take: the plug-in lives in a 32-bit host's 2 GiB of address
// space, whose own memory matters more than our speed. 16 MiB is under 1% of it and is held only
// while a run lasts; exports of a 156 MB dictionary took the same time with 16, 32 and 64 MiB,
// since a larger buffer saves passes over the file but costs as much in fresh pages. Where that
// much cannot be had in one piece a smaller buffer is taken (see article_window.cpp).
constexpr DWORD kReadBufferBound = 16u << 20;

struct ModuleState {
    // The initial values below are set by this constructor when the module is loaded. The
    // buffers have none: the record has static storage, zero-filled before the constructor
    // runs, so they start empty and take no room in the file.
    ModuleState();

    DWORD ArticleCount = 0;             // articles handed to the sink in this run
    OutputSink CurrentSink = FileSink;  // follows the dialog's radio buttons
    HANDLE OutputTarget = nullptr;      // target list, then the chosen pane or the open output file
    DWORD BytesRead = 0;                // bytes of the article just read
    WORD ByteOrderMark = 0xFEFF;

    WCHAR TextDictionaryPane[8] = L"Словарь";
    WCHAR TextTextPane[6] = L"Текст";
    WCHAR TextTranslationPane[8] = L"Перевод";
    WCHAR TextSorting[29] = L"Сортировка статей по размеру";
    WCHAR TextWriting[21] = L"Запись данных в файл";
    WCHAR TextHeader[44] = L"#Отсортированные по размеру статьи словаря ";
    WCHAR TextWriteError[22] = L"Ошибка записи в файл!";
    WCHAR TextWriteSuccess[32] = L"Данные в файл записаны успешно!";
    WCHAR TextLineBreak[3] = L"\r\n";
    WCHAR TextTotal[28] = L"\r\n#Всего найдено карточек: ";
    WCHAR TextArticlesIncomplete[43] = L"Не все статьи удалось прочитать полностью!";
    WCHAR TextNoSpanList[43] = L"Не удалось получить список статей словаря!";
    WCHAR TextNoDictionary[19] = L"Не выбран словарь!";

    ArticleSpan* SpanList = nullptr;     // this run's ordered spans
    DWORD StripTagsFlag = 0;             // nonzero: articles pass through the host's StripTags
    WCHAR FileName[kFileNameUnits];      // output file name as typed
    WCHAR TextBuffer[kTextBufferUnits];  // the header, each article, the total line in turn
    HINSTANCE ModuleInstance = nullptr;
    DWORD HostData[18] = {};       // data table words 2..19; words 3 and 4 read through
    DWORD HostFunctions[18] = {};  // function table words 2..19

    // This run's bookkeeping beyond the host's contract.
    DWORD ArticlesIncomplete = 0;  // nonzero once an article could not be read in full
    WCHAR* LargeText = nullptr;    // room for articles that do not fit TextBuffer, released at run end
    DWORD LargeTextBytes = 0;
    DWORD WriteBufferUsed = 0;  // bytes gathered for the output file and not yet written
    BYTE WriteBuffer[kWriteBufferBytes];

    // The run's read buffer, one region: a window of the ordered list held in list order, a
    // staging area for block reads, and a sort key and two words per window entry.
    DWORD ReadBufferBound = kReadBufferBound;  // 0: one seek and one read per article
    BYTE* ReadBuffer = nullptr;                // released at run end
    BYTE* Staging = nullptr;
    DWORD* SlotOffset = nullptr;    // where each window entry's bytes lie in the window
    DWORD* Delivered = nullptr;     // how many of them were read
    ULONGLONG* ByOffset = nullptr;  // the window's entries in offset order: offset, then entry
    DWORD WindowBytes = 0;
    DWORD StagingBytes = 0;
    DWORD WindowEntries = 0;
    DWORD WindowFirst = 0;  // list positions held now: WindowFirst up to WindowEnd
    DWORD WindowEnd = 0;
    bool WindowDirect = false;   // the one article held is larger than the window: read alone
    ULONGLONG FilePosition = 0;  // the article file's position after our last read; ~0 unknown
};

extern ModuleState State;
