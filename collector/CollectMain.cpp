// The headless front end of the collection pass, for scripts and acceptance runs.
#include <iostream>
#include <string>
#include <vector>

#include "collector/CollectCommand.h"
#include "platform/FileSystem.h"

#ifdef _WIN32
#include "platform/WideString.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(marlowin::sys::FromWide(argv[i]));
  return marlowin::RunCollectCommand(arguments, marlowin::sys::RealFileSystem(), std::cout,
                                     std::cerr);
}
#else
#include "platform/NativeName.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(marlowin::sys::FromNativeName(argv[i]));
  return marlowin::RunCollectCommand(arguments, marlowin::sys::RealFileSystem(), std::cout,
                                     std::cerr);
}
#endif
