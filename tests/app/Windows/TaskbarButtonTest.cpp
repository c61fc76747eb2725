// The taskbar button of a real window, as the shell of the machine (Wine's in the build) takes it.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "framework/Windows/TaskbarButton.h"
#include "platform/Errors.h"

namespace {

using State = marlowin::framework::TaskbarProgress::State;

TEST(TaskbarButton, EveryStateOfTheWorkIsTakenForAShownWindow) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const HWND window = CreateWindowExW(0, L"STATIC", L"Marlowin", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  {
    marlowin::framework::TaskbarButton button(window);
    for (const marlowin::framework::TaskbarProgress progress :
         {marlowin::framework::TaskbarProgress{State::kBusy, 0, 0}, {State::kNormal, 370000, 1000000},
          {State::kPaused, 380000, 1000000}, {State::kError, 1, 1}, {State::kNone, 0, 0}}) {
      const std::error_code error = button.Show(progress);
      EXPECT_FALSE(error) << static_cast<int>(progress.state) << ": " << marlowin::platform::Describe(error);
    }
  }
  DestroyWindow(window);
  if (SUCCEEDED(com)) CoUninitialize();
}

TEST(TaskbarButton, AnHresultKeepsItsWin32Reason) {
  EXPECT_FALSE(marlowin::framework::ErrorOfResult(S_OK));
  EXPECT_EQ(marlowin::framework::ErrorOfResult(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)), std::errc::permission_denied);
  EXPECT_EQ(marlowin::framework::ErrorOfResult(E_NOINTERFACE).value(), static_cast<int>(E_NOINTERFACE));
}

}  // namespace
