// Load and unload of brelk.dll: the loader calls DllMain when a process
// attaches the library and when it detaches it (FreeLibrary, or the process
// ending).
#include <windows.h>

#include "entry/entry.h"

namespace {

// Set at process attach: the unload action is due, once, at detach.
bool unloadPending = false;

}  // namespace

// DllMain(): at process attach it arranges for ReleaseRetainedResult to run
// at unload and makes no request; loading always succeeds. At process detach
// it runs ReleaseRetainedResult once, which frees the text last returned (if
// any): a pointer the library returned is invalid from then on. Thread
// attach and detach need nothing.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      unloadPending = true;
      break;
    case DLL_PROCESS_DETACH:
      if (unloadPending) {
        unloadPending = false;
        brelk::ReleaseRetainedResult();
      }
      break;
    default:
      break;
  }
  return TRUE;
}
