#pragma once
#include <windows.h>

// A function of a loaded library, looked up by name and returned as the type
// the caller uses; null when the module is null or does not export the name.
// This is how the program reaches what not every Windows it runs on exports:
// a static import of such a function would keep the program from starting.
template <typename Function>
Function LibraryFunction(HMODULE module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
