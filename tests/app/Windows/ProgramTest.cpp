#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Version.h"
#include "platform/WideString.h"
#include "tests/support/Process.h"

namespace {

std::wstring ProgramPath(const wchar_t* fromTest) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  path.erase(path.find_last_of(L"\\/") + 1);
  return path + fromTest;
}

HMODULE LoadProgram(const wchar_t* fromTest, DWORD flags) {
  return LoadLibraryExW(ProgramPath(fromTest).c_str(), nullptr, flags);
}

// The program's embedded manifest (resource 1 of type RT_MANIFEST), empty when it has none.
std::string ManifestOf(const wchar_t* fromTest) {
  const HMODULE data = LoadProgram(fromTest, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!data) return {};
  const HRSRC found = FindResourceW(data, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  std::string manifest;
  if (found) manifest.assign(static_cast<const char*>(LockResource(LoadResource(data, found))), SizeofResource(data, found));
  FreeLibrary(data);
  return manifest;
}

}  // namespace

TEST(Program, IsAGuiProgramWhoseManifestAsksForNoElevationAndIsDpiAndLongPathAware) {
  const HMODULE image = LoadProgram(MARLOWIN_PROGRAM_FROM_TEST, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(image, nullptr);
  const auto* base = reinterpret_cast<const unsigned char*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  FreeLibrary(image);

  const std::string manifest = ManifestOf(MARLOWIN_PROGRAM_FROM_TEST);
  ASSERT_FALSE(manifest.empty()) << "no manifest resource";
  for (const char* part : {"level=\"asInvoker\"", "uiAccess=\"false\"", ">true/pm</dpiAware>", ">PerMonitorV2",
                           ">true</longPathAware>"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST(Program, CollectorIsAConsoleProgramWhoseManifestAsksForNoElevationAndIsLongPathAware) {
  const HMODULE image = LoadProgram(MARLOWIN_COLLECT_FROM_TEST, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(image, nullptr);
  const auto* base = reinterpret_cast<const unsigned char*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
  FreeLibrary(image);

  const std::string manifest = ManifestOf(MARLOWIN_COLLECT_FROM_TEST);
  ASSERT_FALSE(manifest.empty()) << "no manifest resource";
  for (const char* part : {"level=\"asInvoker\"", ">true</longPathAware>"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

// Explorer shows each program with the icon (in every size it asks for) and the version of the
// project; both come from the resource script.
TEST(Program, BothProgramsCarryTheIconAndTheProjectsVersion) {
  for (const wchar_t* program : {MARLOWIN_PROGRAM_FROM_TEST, MARLOWIN_COLLECT_FROM_TEST}) {
    SCOPED_TRACE(testing::Message() << program);
    const HMODULE data = LoadProgram(program, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(data, nullptr);
    for (const int side : {16, 24, 32, 48, 256}) {
      const auto icon = static_cast<HICON>(LoadImageW(data, MAKEINTRESOURCEW(1), IMAGE_ICON, side, side, 0));
      ASSERT_NE(icon, nullptr) << side << " pixels";
      ICONINFO info{};
      ASSERT_TRUE(GetIconInfo(icon, &info));
      BITMAP colour{};
      GetObjectW(info.hbmColor, sizeof colour, &colour);
      EXPECT_EQ(colour.bmWidth, side);
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
      DestroyIcon(icon);
    }

    const HRSRC found = FindResourceW(data, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));  // RT_VERSION
    ASSERT_NE(found, nullptr) << "no version resource";
    const auto* block = static_cast<const unsigned char*>(LockResource(LoadResource(data, found)));
    const std::string version(reinterpret_cast<const char*>(block), SizeofResource(data, found));
    // VS_FIXEDFILEINFO, found by its signature, holds the numbers; the string table the text.
    const DWORD signature = 0xFEEF04BD;
    const std::size_t at = version.find(std::string(reinterpret_cast<const char*>(&signature), sizeof signature));
    ASSERT_NE(at, std::string::npos);
    VS_FIXEDFILEINFO fixed{};
    std::memcpy(&fixed, version.data() + at, sizeof fixed);
    EXPECT_EQ(fixed.dwFileVersionMS, static_cast<DWORD>(MAKELONG(MARLOWIN_VERSION_MINOR, MARLOWIN_VERSION_MAJOR)));
    EXPECT_EQ(fixed.dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, MARLOWIN_VERSION_PATCH)));
    EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
    std::string text;  // MARLOWIN_VERSION in UTF-16, as the string table keeps it
    for (const char c : std::string(MARLOWIN_VERSION) + '\0') text += {c, '\0'};
    EXPECT_NE(version.find(text), std::string::npos) << "no string " << MARLOWIN_VERSION;
    FreeLibrary(data);
  }
}

// Redirected, as a script or a console would: the answer is on stdout and no window opens
// (a window would hold the test until the watchdog of the build ends it).
TEST(Program, HelpAndVersionAreAnsweredOnStdoutWithoutAWindow) {
  const std::u16string program = marlowin::platform::FromWide(ProgramPath(MARLOWIN_PROGRAM_FROM_TEST));
  marlowin::testing::ProgramResult result = marlowin::testing::ChildProgram(program, {u"--version"}).Wait();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out.rfind("marlowin ", 0), 0u) << result.out;
  EXPECT_EQ(result.out.find('\n'), result.out.size() - 1) << result.out;
  result = marlowin::testing::ChildProgram(program, {u"--help"}).Wait();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out.rfind("usage: marlowin [--also BACKUP_FOLDER | --backup | --check | --help | --version]\n", 0), 0u) << result.out;
  EXPECT_NE(result.out.find("marlowin-collect [OPTIONS] STARTING_FOLDER DESTINATION_FOLDER"), std::string::npos);
  EXPECT_NE(result.out.find("\\Marlowin\\reports."), std::string::npos) << result.out;
}
