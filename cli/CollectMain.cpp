// The headless front end of the collection pass, for scripts and acceptance runs.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CollectCommand.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"

#ifdef _WIN32
#include "platform/WideString.h"
#else
#include "platform/NativeName.h"
#endif

namespace {

template <typename Char, typename ToName>
int Run(int argc, Char** argv, ToName toName) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(toName(argv[i]));
  const auto fs = marlowin::platform::MakeRealFileSystem();
  static std::atomic<bool> stop{false};
  marlowin::platform::StopOnInterrupt(stop);
  marlowin::platform::UseUtf8Output();
  marlowin::CommandConsole console;
  console.stop = &stop;
  console.stderrIsTerminal = marlowin::platform::StderrIsTerminal();
  console.columns = marlowin::platform::TerminalColumns();
  return marlowin::RunCollectCommand(arguments, *fs, std::cout, std::cerr, console);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return Run(argc, argv, [](const wchar_t* a) { return marlowin::platform::FromWide(a); });
}
#else
int main(int argc, char** argv) {
  return Run(argc, argv, [](const char* a) { return marlowin::platform::FromNativeName(a); });
}
#endif
