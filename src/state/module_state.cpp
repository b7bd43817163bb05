// The module state record, alive from load to unload.
#include "state/module_state.h"

ModuleState State;
