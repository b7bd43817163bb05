// Ids of the export dialog template and its controls.
#pragma once

#define IDD_EXPORT 1001
#define IDC_DICTIONARY_LABEL 1002
#define IDC_DICTIONARY_LIST 1003
#define IDC_TO_WINDOW 1007
#define IDC_TO_FILE 1008
#define IDC_TARGET_LIST 1009
#define IDC_FILE_NAME 1010
#define IDC_STRIP_TAGS 1011

// The predefined window classes as the atoms a dialog template stores for them; a class given
// by name would be stored as a string instead.
#define CLASS_BUTTON 0x0080
#define CLASS_EDIT 0x0081
#define CLASS_STATIC 0x0082
#define CLASS_COMBOBOX 0x0085
