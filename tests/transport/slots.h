// Calling an interface's operation by its slot number, as a program that imports the
// DLL by slot does: slot 0 is QueryInterface, 3 the first declared operation.
#pragma once

#include <windows.h>

template <class Fn>
Fn Slot(void* object, int slot) {
  void** table = *reinterpret_cast<void***>(object);
  return reinterpret_cast<Fn>(table[slot]);
}

// An export by its plain name, through a function type that matches any, so the
// compiler lets the address go to the factory's own type.
template <class Fn>
Fn Export(const wchar_t* dll, const char* name) {
  HMODULE module = LoadLibraryW(dll);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
