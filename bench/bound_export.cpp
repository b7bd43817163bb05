// The benchmarks' way to a fixed bound on the read buffer, exported beside QORM_USER by their
// build of the plug-in only.
#include "export/article_reader_hooks.h"

extern "C" void ZaqSetReadBufferBound(DWORD bytes)
{
    SetReadBufferBound(bytes);
}
