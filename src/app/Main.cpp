#include "app/Application.h"

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
  HRESULT comResult = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  Gdiplus::GdiplusStartupInput gdiplusInput;
  ULONG_PTR gdiplusToken = 0;
  if (Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr) != Gdiplus::Ok) gdiplusToken = 0;

  int exitCode;
  {
    // The stores save themselves when the application object goes, before GDI+ and COM shut down.
    Application app(instance);
    exitCode = app.Run(commandLine, showCommand);
  }

  if (gdiplusToken != 0) Gdiplus::GdiplusShutdown(gdiplusToken);
  if (SUCCEEDED(comResult)) CoUninitialize();
  return exitCode;
}
