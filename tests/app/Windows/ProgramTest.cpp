#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

HMODULE LoadProgram(DWORD flags) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  path.erase(path.find_last_of(L"\\/") + 1);
  return LoadLibraryExW((path + MARLOWIN_PROGRAM_FROM_TEST).c_str(), nullptr, flags);
}

}  // namespace

TEST(Program, IsAGuiProgramWhoseManifestAsksForNoElevationAndIsDpiAndLongPathAware) {
  const HMODULE image = LoadProgram(DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(image, nullptr);
  const auto* base = reinterpret_cast<const unsigned char*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  FreeLibrary(image);

  const HMODULE data = LoadProgram(LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(data, nullptr);
  const HRSRC found = FindResourceW(data, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr) << "no manifest resource";
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(data, found))), SizeofResource(data, found));
  for (const char* part : {"level=\"asInvoker\"", "uiAccess=\"false\"", ">true/pm</dpiAware>", ">PerMonitorV2",
                           ">true</longPathAware>"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  FreeLibrary(data);
}
