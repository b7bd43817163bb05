// The module's one static state record: choices, fixed texts, buffers and the captured host tables.
#pragma once

#include <windows.h>

#include "host/article_span.h"
#include "output/output_sink.h"

constexpr DWORD kFileNameUnits = 260;
constexpr DWORD kTextBufferUnits = 131072;

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
    WCHAR TextPaneIncomplete[38] = L"Не все статьи удалось вывести в окно!";

    ArticleSpan* SpanList = nullptr;     // this run's ordered spans
    DWORD StripTagsFlag = 0;             // nonzero: articles pass through the host's StripTags
    WCHAR FileName[kFileNameUnits];      // output file name as typed
    WCHAR TextBuffer[kTextBufferUnits];  // the header, each article, the total line in turn
    HINSTANCE ModuleInstance = nullptr;
    DWORD HostData[18] = {};       // data table words 2..19; words 3 and 4 read through
    DWORD HostFunctions[18] = {};  // function table words 2..19

    // Set by the reader when an article could not be read in full; the run and the file output
    // then report that instead of success.
    DWORD ArticlesIncomplete = 0;

    // Nonzero from the moment QORM_USER takes a call until it returns. The host's own handlers
    // run while the dialog is up and whenever a run calls into the host; a call they make
    // meanwhile must not touch this record.
    LONG EntryBusy = 0;
    HWND ExportDialog = nullptr;  // the open dialog, brought to the front when the host calls again
};

extern ModuleState State;
