/* windows_host: a Windows host of brelk.dll, written the way a plug-in host
 * loads it: LoadLibrary, the export looked up by name and by ordinal 1,
 * called, and the library freed.
 *
 *   windows_host ADDRESS...
 *
 * brelk.dll is loaded from this program's directory. Each ADDRESS is
 * resolved through the export found by name; the first is then resolved
 * once more through the export found by ordinal. "-null-" stands for a null
 * argument. One line per call on standard output:
 *
 *   name 0 687474703a2f2f...     the result's GBK bytes in hex
 *   name 1 null                  a null result
 *   ordinal 0 687474703a2f2f...
 *   unloaded                     FreeLibrary succeeded and the module is gone
 *
 * Exits 0 when every step could be taken; 2 when the library or its export
 * could not be found (the reason on standard error).
 */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "brelk.h"

typedef const char*(BRELK_CALL* Resolver)(const char*);

/* PrintResult(): one output line for a call's result. */
static void PrintResult(const char* how, int index, const char* result) {
  printf("%s %d ", how, index);
  if (result == NULL) {
    printf("null");
  } else {
    for (const unsigned char* p = (const unsigned char*)result; *p != 0; ++p) printf("%02x", *p);
  }
  printf("\n");
  fflush(stdout);
}

static const char* Argument(const char* arg) {
  return strcmp(arg, "-null-") == 0 ? NULL : arg;
}

int main(int argc, char** argv) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
  while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/') --n;
  if (n == 0 || n + 10 > MAX_PATH) {
    fprintf(stderr, "windows_host: cannot place brelk.dll\n");
    return 2;
  }
  wcscpy(path + n, L"brelk.dll");

  HMODULE library = LoadLibraryW(path);
  if (library == NULL) {
    fprintf(stderr, "windows_host: LoadLibrary failed, error %lu\n", GetLastError());
    return 2;
  }
  Resolver byName = (Resolver)(void*)GetProcAddress(library, "Analysis_1000eb");
  Resolver byOrdinal = (Resolver)(void*)GetProcAddress(library, MAKEINTRESOURCEA(1));
  if (byName == NULL || byOrdinal == NULL || byName != byOrdinal) {
    fprintf(stderr, "windows_host: export by name %p, by ordinal 1 %p\n", (void*)byName,
            (void*)byOrdinal);
    return 2;
  }

  for (int i = 1; i < argc; ++i) PrintResult("name", i - 1, byName(Argument(argv[i])));
  if (argc > 1) PrintResult("ordinal", 0, byOrdinal(Argument(argv[1])));

  /* Unloading frees the retained result; the module must really go. */
  if (FreeLibrary(library) && GetModuleHandleW(path) == NULL) printf("unloaded\n");
  return 0;
}
