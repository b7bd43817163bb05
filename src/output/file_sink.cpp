// The output file: UTF-16LE with a byte-order mark, the header, each article and CR LF, the total line.
#include <windows.h>

#include "host/host_tables.h"
#include "output/text_length.h"

// Pieces are gathered in a write buffer and written in large blocks; the file's bytes are the
// same as with one write per piece. At the first failure the file is closed and its handle set
// to INVALID_HANDLE_VALUE, so every later phase does nothing and reports nothing more.

namespace {

// Blocks of 1 MiB: writes of 64 KiB took about twice as long in a large export (64-bit build;
// docs/benchmarks.md). The block is taken for each run and released when the file is
// closed; where it cannot be had, a static buffer of 64 KiB serves.
constexpr DWORD kWriteBlockBytes = 1u << 20;
constexpr DWORD kStaticBufferBytes = 65536;

// Bytes gathered for the output file and not yet written. The static buffer takes no room in
// the DLL file.
BYTE staticBuffer[kStaticBufferBytes];
BYTE* writeBuffer = staticBuffer;
DWORD writeBufferBytes = kStaticBufferBytes;
DWORD writeBufferUsed;

void TakeWriteBuffer()
{
    void* block = VirtualAlloc(nullptr, kWriteBlockBytes, MEM_COMMIT, PAGE_READWRITE);
    if (block == nullptr) return;  // the static buffer serves
    writeBuffer = static_cast<BYTE*>(block);
    writeBufferBytes = kWriteBlockBytes;
}

void ReleaseWriteBuffer()
{
    if (writeBuffer != staticBuffer) VirtualFree(writeBuffer, 0, MEM_RELEASE);  // ours: cannot fail
    writeBuffer = staticBuffer;
    writeBufferBytes = kStaticBufferBytes;
}

bool OutputOpen()
{
    return State.OutputTarget != INVALID_HANDLE_VALUE && State.OutputTarget != nullptr;
}

bool WriteAll(const void* data, DWORD bytes)
{
    DWORD written = 0;
    return WriteFile(State.OutputTarget, data, bytes, &written, nullptr) && written == bytes;
}

bool Flush()
{
    const DWORD bytes = writeBufferUsed;
    writeBufferUsed = 0;
    return bytes == 0 || WriteAll(writeBuffer, bytes);
}

bool Write(const void* data, DWORD bytes)
{
    if (writeBufferUsed + bytes > writeBufferBytes && !Flush()) return false;
    if (bytes >= writeBufferBytes) return WriteAll(data, bytes);
    memcpy(writeBuffer + writeBufferUsed, data, bytes);
    writeBufferUsed += bytes;
    return true;
}

bool WriteText(const WCHAR* text)
{
    return Write(text, TextLength(text) * sizeof(WCHAR));
}

// Closes the file; true when everything written reached it.
bool Close()
{
    const bool flushed = Flush();
    ReleaseWriteBuffer();
    const bool closed = CloseHandle(State.OutputTarget) != FALSE;
    State.OutputTarget = INVALID_HANDLE_VALUE;
    return flushed && closed;
}

DWORD Fail()
{
    if (OutputOpen()) {
        writeBufferUsed = 0;  // what is still gathered cannot reach the file either
        Close();              // already failing: its result adds nothing to report
    }
    ShowHostMessage(State.TextWriteError, nullptr, MB_ICONERROR);
    return 1;
}

DWORD Start()
{
    writeBufferUsed = 0;
    State.OutputTarget =
        CreateFileW(State.FileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (State.OutputTarget == INVALID_HANDLE_VALUE) return Fail();
    TakeWriteBuffer();
    if (!Write(&State.ByteOrderMark, sizeof State.ByteOrderMark) || !WriteText(State.TextBuffer))
        return Fail();
    return 0;
}

DWORD Article(const WCHAR* text)
{
    if (!OutputOpen()) return 1;
    if (!WriteText(text) || !Write(State.TextLineBreak, 2 * sizeof(WCHAR))) return Fail();
    return 0;
}

DWORD Finish()
{
    if (!OutputOpen()) return 1;
    lstrcpyW(State.TextBuffer, State.TextTotal);
    *AppendDecimal(State.ArticleCount, State.TextBuffer + TextLength(State.TextBuffer)) = L'\0';
    if (!WriteText(State.TextBuffer) || !Close()) return Fail();
    // A run that lost part of an article tells the user so itself instead of this.
    if (State.ArticlesIncomplete == 0) ShowHostMessage(State.TextWriteSuccess, State.FileName, MB_OK);
    return 0;
}

DWORD Abort()
{
    if (!OutputOpen()) return 1;
    Close();  // the run tells the user why it stopped; the file is closed either way
    return 0;
}

}  // namespace

DWORD FileSink(UINT_PTR argument)
{
    switch (argument) {
        case StartPhase:
            return Start();
        case FinishPhase:
            return Finish();
        case AbortPhase:
            return Abort();
        default:
            return Article(reinterpret_cast<const WCHAR*>(argument));
    }
}
