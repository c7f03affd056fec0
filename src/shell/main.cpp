// Entry point of scrivane.exe.
#include <windows.h>

#include "shell/start_up.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Load DLLs from the system directory only, before anything else can load one.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Everything the program keeps lives in this object and goes, in its one order, before the
  // process ends.
  shell::Application app;
  return app.Run();
}
