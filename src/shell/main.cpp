// Entry point of scrivane.exe.
#include <windows.h>

#include "shell/start_up.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Load DLLs from the system directory only, before anything else can load one.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  shell::Program program;
  return program.Run();
}
