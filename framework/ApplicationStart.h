#pragma once

#include <optional>
#include <string>
#include <vector>

// Inside the framework: the part of the entry routine that is the same on every platform.
namespace marlowin::framework {

// The application object's AnswerCommandLine; none without an application object.
std::optional<int> AnswerCommandLine(const std::vector<std::u16string>& arguments);

// Runs the one application object, which takes programName as its name when it was given
// none. The result is the process's exit status.
int StartApplication(const std::u16string& programName);

// The file name of a program path without folder and extension: "marlowin" for
// "C:\Tools\marlowin.exe" or "/usr/bin/marlowin".
std::u16string ProgramName(std::u16string path);

}  // namespace marlowin::framework
