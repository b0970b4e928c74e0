// The program's own start-up and the little C++ run-time it needs, linked in
// place of the compiler's start-up objects, libstdc++ and libsupc++. Those
// were built for the Pentium Pro (cmov, fcomi), which the 486 and Pentium
// machines of Windows 95, 98 and NT 4.0 lack, and they import functions that
// the 9x family has only as failing stubs. The program throws nothing, asks
// no type at run time and allocates with malloc, so all it needs is here: the
// entry that runs the static constructors and WinMain, exit functions,
// operator delete for the deleting destructors, and the pure-virtual trap.
#include <windows.h>

#include <cstdlib>

namespace {

using StaticFunction = void (*)();

// The global objects with destructors register one exit function each; the
// program has a handful.
constexpr int EXIT_FUNCTION_LIMIT = 32;
StaticFunction exitFunctions[EXIT_FUNCTION_LIMIT];
int exitFunctionCount = 0;

}  // namespace

extern "C" {

// The linker's table of every object's static constructors: -1 (or their
// count), the constructors, then a null entry. They run last to first, as the
// compiler's own start-up runs them.
extern StaticFunction __CTOR_LIST__[];

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand);

// Static objects' destructors, run at exit in the reverse order of
// registration. Beyond the limit a destructor is not run: the process ends
// anyway, and the system reclaims what it held.
int atexit(StaticFunction function) {
  if (exitFunctionCount == EXIT_FUNCTION_LIMIT) return -1;
  exitFunctions[exitFunctionCount++] = function;
  return 0;
}

// A call of a pure virtual function: a fault of the program itself.
void __cxa_pure_virtual() { ::ExitProcess(static_cast<UINT>(-1)); }

}  // extern "C"

namespace {

void RunStaticConstructors() {
  unsigned count = 0;
  while (__CTOR_LIST__[count + 1]) ++count;
  for (unsigned i = count; i >= 1; --i) __CTOR_LIST__[i]();
}

void RunExitFunctions() {
  while (exitFunctionCount > 0) exitFunctions[--exitFunctionCount]();
}

// The program takes no command line and shows only dialogs, so WinMain gets
// neither the command line nor the show command.
char noCommandLine[] = "";

}  // namespace

// The platform's entry point of the program (named at link time).
extern "C" void WinMainCRTStartup() {
  RunStaticConstructors();
  const int exitCode = WinMain(::GetModuleHandleA(nullptr), nullptr, noCommandLine, SW_SHOWDEFAULT);
  RunExitFunctions();
  ::ExitProcess(static_cast<UINT>(exitCode));
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
