// The host's markup rule: tags are everything from a '<' to the next '>'.
#include "host_procedures.h"

void __stdcall StripTags(WCHAR* text)
{
    WCHAR* out = text;
    bool inTag = false;
    for (const WCHAR* in = text; *in != L'\0'; ++in) {
        if (*in == L'<') inTag = true;
        if (!inTag) *out++ = *in;
        if (*in == L'>') inTag = false;
    }
    *out = L'\0';
}
