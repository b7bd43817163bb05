// The module's two ways in: the load notification and the host's entry QORM_USER.
#include "export/export_dialog.h"
#include "state/module_state.h"

// The C runtime's start-up code calls this under the platform's name DllMain, linked to it.
extern "C" BOOL WINAPI OnModuleAttach(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH) State.ModuleInstance = instance;
    return TRUE;
}

extern "C" INT_PTR WINAPI QORM_USER(const DWORD* dataTable, const DWORD* functionTable)
{
    return ShowExportDialog(dataTable, functionTable);
}
