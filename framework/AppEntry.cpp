// The platform's entry point of the program: hands over to the framework, which
// runs the one application object's InitInstance.
#include <windows.h>

#include "framework/WinApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AfxWinMain(instance); }
