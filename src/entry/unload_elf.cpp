// Unload hook of the shared object: the loader runs ELF destructors when the
// library is unloaded (dlclose) or the process exits.
#include "entry/entry.h"

__attribute__((destructor)) static void UnloadLibrary() { brelk::ReleaseRetainedResult(); }
