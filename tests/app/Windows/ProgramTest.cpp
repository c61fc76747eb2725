// The program file as Windows loads it: a GUI program whose manifest asks for no elevation
// and declares DPI and long-path awareness.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ProgramPath() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  path.erase(path.find_last_of(L"\\/") + 1);
  return path + MARLOWIN_PROGRAM_FROM_TEST;
}

std::string EmbeddedManifest() {
  const HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!program) return {};
  std::string manifest;
  if (HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    if (HGLOBAL loaded = LoadResource(program, found)) {
      manifest.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(program, found));
    }
  }
  FreeLibrary(program);
  return manifest;
}

}  // namespace

TEST(Program, IsAGuiSubsystemProgram) {
  const HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(program, nullptr);
  const auto* base = reinterpret_cast<const unsigned char*>(program);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  FreeLibrary(program);
}

TEST(Program, ManifestRunsAsTheInvokingUserDpiAndLongPathAware) {
  const std::string manifest = EmbeddedManifest();
  ASSERT_FALSE(manifest.empty()) << "no manifest resource";
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
  EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
  EXPECT_NE(manifest.find(">PerMonitorV2"), std::string::npos);
  EXPECT_NE(manifest.find(">true</longPathAware>"), std::string::npos);
}
