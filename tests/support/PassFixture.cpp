#include "tests/support/PassFixture.h"

#include "platform/NativeName.h"

namespace marlowin::testing {

report::PassReport PassFixture::Pass(const std::u16string& start, const std::u16string& destination,
                                     const pass::PassOptions& options) {
  std::vector<std::string> planned;
  pass::PassOptions dry = options;
  dry.dryRun = true;
  dry.printLine = [&](const std::string& line) {
    if (line == "commit" || line.rfind("prove ", 0) == 0 || line.rfind("keep ", 0) == 0) return;
    planned.push_back(recorder.ShowLine(line));
  };
  const auto fs = platform::MakeRealFileSystem();
  (void)pass::CollectClips(*fs, start, destination, dry);
  recorder.Clear();
  const report::PassReport report = pass::CollectClips(recorder, start, destination, options);
  if (report.Failures() == 0 && report.outcome == report::Outcome::kComplete) {
    const std::vector<std::string> changes = recorder.Changes();
    // The first line where they part, as a long list is cut short when printed.
    std::size_t same = 0;
    while (same < changes.size() && same < planned.size() && changes[same] == planned[same]) ++same;
    EXPECT_EQ(changes, planned) << "line " << same << ": done \"" << (same < changes.size() ? changes[same] : "")
                                << "\", planned \"" << (same < planned.size() ? planned[same] : "") << "\"";
  }
  return report;
}

report::PassReport PassFixture::PassPlainly(const pass::PassOptions& options) {
  const auto fs = platform::MakeRealFileSystem();
  return pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), options);
}

std::vector<std::string> PassFixture::Problems(const report::PassReport& report) const {
  std::vector<std::string> lines;
  for (const report::Problem* problem : report::ProblemsInOrder(report)) {
    std::u16string line = report::DescribeProblem(*problem);
    for (std::size_t at; (at = line.find(tree.Root())) != std::u16string::npos;) {
      line.replace(at, tree.Root().size(), u"<root>");
    }
    for (char16_t& c : line) {
      if (c == platform::kPathSeparator) c = u'/';
    }
    lines.push_back((problem->failure ? "failure: " : "warning: ") + platform::ToDisplay(line));
  }
  return lines;
}

}  // namespace marlowin::testing
