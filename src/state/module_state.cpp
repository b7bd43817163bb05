// The module state record, alive from load to unload.
#include "state/module_state.h"

// Defined apart from the record so that its initial values are set when the module is loaded:
// the record is then zero-filled storage that takes no room in the file.
ModuleState::ModuleState() = default;

ModuleState State;
