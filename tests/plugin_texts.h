// The plug-in's messages and status texts as its user reads them, typed here once for every test
// and apart from the plug-in's own copies, so that a changed text fails the tests.
#pragma once

#include <string>

inline const std::wstring kSuccessText = L"Данные в файл записаны успешно!";
inline const std::wstring kWriteErrorText = L"Ошибка записи в файл!";
inline const std::wstring kIncompleteText = L"Не все статьи удалось прочитать полностью!";
inline const std::wstring kPaneIncompleteText = L"Не все статьи удалось вывести в окно!";
inline const std::wstring kNoListText = L"Не удалось получить список статей словаря!";
inline const std::wstring kNoDictionaryText = L"Не выбран словарь!";
inline const std::wstring kSortingText = L"Сортировка статей по размеру";
inline const std::wstring kWritingText = L"Запись данных в файл";
