/* The control for the planted DLLs: loads the DLL named on its command line by its bare name, as a
   program that does not restrict its DLL search would. Exit code 0 when it was loaded. */
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  return LoadLibraryW(argv[1]) ? 0 : 1;
}
