#include "collector/report/ReportFile.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "collector/report/QuotedName.h"
#include "collector/report/ReportFigures.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/StagedFile.h"
#include "platform/NativeName.h"
#include "platform/UserRecords.h"

namespace marlowin::report {
namespace {

constexpr std::size_t kStampLength = 19;  // "2024-05-03_21-14-07"
constexpr std::u16string_view kExtension = u".txt";

// At least `width` digits, zeros in front.
std::u16string Digits(int value, std::size_t width) {
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value > 0 || text.size() < width);
  return text;
}

std::u16string Stamp(const platform::CalendarTime& t, char16_t between, char16_t inTime) {
  return Digits(t.year, 4) + u'-' + Digits(t.month, 2) + u'-' + Digits(t.day, 2) + between + Digits(t.hour, 2) +
         inTime + Digits(t.minute, 2) + inTime + Digits(t.second, 2);
}

std::chrono::system_clock::time_point StartOf(const PassReport& report) {
  return report.started == std::chrono::system_clock::time_point{} ? std::chrono::system_clock::now()
                                                                    : report.started;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A report's place among the others: its time stamp and its number in that second (1 for
// the first), or nothing when the name is not a report's.
struct Place {
  std::u16string_view stamp;
  unsigned long number = 1;
  friend auto operator<=>(const Place&, const Place&) = default;
};

bool ReadPlace(std::u16string_view name, Place& place) {
  static constexpr std::u16string_view kPattern = u"0000-00-00_00-00-00";
  if (name.size() < kStampLength + kExtension.size() || !name.ends_with(kExtension)) return false;
  for (std::size_t i = 0; i < kStampLength; ++i) {
    if (kPattern[i] == u'0' ? !IsDigit(name[i]) : name[i] != kPattern[i]) return false;
  }
  place.stamp = name.substr(0, kStampLength);
  const std::u16string_view tail = name.substr(kStampLength, name.size() - kStampLength - kExtension.size());
  if (tail.empty()) return true;
  if (tail.size() < 2 || tail.size() > 8 || tail[0] != u'_' || tail[1] == u'0') return false;
  place.number = 0;
  for (const char16_t c : tail.substr(1)) {
    if (!IsDigit(c)) return false;
    place.number = place.number * 10 + static_cast<unsigned long>(c - u'0');
  }
  return true;
}

// The folder and the missing ones above it.
std::error_code MakeFolders(platform::FileSystem& fs, const std::u16string& folder) {
  std::error_code error = fs.MakeFolder(folder);
  if (error == std::errc::no_such_file_or_directory) {
    const std::size_t separator = folder.find_last_of(u"/\\");
    if (separator == std::u16string::npos || separator == 0) return error;
    if (const std::error_code parentError = MakeFolders(fs, folder.substr(0, separator))) return parentError;
    error = fs.MakeFolder(folder);
  }
  return error == std::errc::file_exists ? std::error_code() : error;
}

// Removes the oldest reports beyond `keep`, never the one just written.
std::error_code Prune(platform::FileSystem& fs, const std::u16string& folder, const std::u16string& written,
                      std::size_t keep) {
  std::vector<platform::FolderEntry> entries;
  if (const std::error_code error = fs.ListFolder(folder, entries)) return error;
  std::vector<std::pair<Place, const std::u16string*>> reports;
  for (const platform::FolderEntry& entry : entries) {
    Place place;
    if (!entry.isFolder && ReadPlace(entry.name, place)) reports.emplace_back(place, &entry.name);
  }
  if (reports.size() <= keep) return {};
  std::sort(reports.begin(), reports.end());
  std::error_code first;
  for (std::size_t i = 0; i + keep < reports.size(); ++i) {
    const std::u16string path = folder + platform::kPathSeparator + *reports[i].second;
    if (path == written) continue;
    if (const std::error_code error = fs.RemoveFile(path); error && !first) first = error;
  }
  return first;
}

std::u16string Reason(const std::error_code& error) { return platform::FromNativeName(platform::Describe(error)); }

}  // namespace

std::u16string ReportTimeText(std::chrono::system_clock::time_point moment) {
  platform::CalendarTime time;
  return platform::LocalTime(moment, time) ? u"at an unknown time" : Stamp(time, u' ', u':');
}

std::string ReportFileText(const PassReport& report) {
  return platform::ToDisplay(MessageText(report, report.problems.size()) + u"\n\n" + FiguresText(report, StartOf(report)));
}

SavedReport SaveReport(platform::FileSystem& fs, const PassReport& report, const std::u16string& folder,
                       std::size_t keep) {
  return SaveReportText(fs, ReportFileText(report), StartOf(report), folder, keep);
}

SavedReport SaveReportText(platform::FileSystem& fs, const std::string& text,
                           std::chrono::system_clock::time_point moment, const std::u16string& folder,
                           std::size_t keep) {
  SavedReport saved;
  platform::CalendarTime started;
  if ((saved.error = platform::LocalTime(moment, started))) return saved;
  if ((saved.error = MakeFolders(fs, folder))) return saved;
  platform::StagedFile file(fs, folder);
  if ((saved.error = file.Create())) return saved;
  if ((saved.error = file.Write(text))) return saved;
  if ((saved.error = file.Finish(0600))) return saved;  // a person's own records
  const std::u16string stem = folder + platform::kPathSeparator + Stamp(started, u'_', u'-');
  for (int number = 1; number <= 1000; ++number) {
    const std::u16string path = stem + (number == 1 ? u"" : u"_" + Digits(number, 1)) + std::u16string(kExtension);
    saved.error = file.PutInPlace(path, false);
    if (saved.error == std::errc::file_exists) continue;
    if (!saved.error) {
      saved.path = path;
      saved.pruneError = Prune(fs, folder, path, keep);
    }
    return saved;
  }
  return saved;
}

SavedReport SaveReport(const PassReport& report) { return SaveReportText(ReportFileText(report), StartOf(report)); }

SavedReport SaveReportText(const std::string& text, std::chrono::system_clock::time_point started) {
  std::u16string folder;
  if (const std::error_code error = platform::ReportsFolder(folder)) return {{}, error, {}};
  const std::unique_ptr<platform::FileSystem> fs = platform::MakeRealFileSystem();
  return SaveReportText(*fs, text, started, folder);
}

std::u16string SavedReportLines(const SavedReport& saved, bool unshown) {
  if (saved.error) return u"\n\nreport not saved: " + Reason(saved.error);
  std::u16string text;
  if (unshown) text += u"\n\nThe whole report: " + QuotedName(saved.path);
  if (saved.pruneError) text += u"\n\nolder reports not removed: " + Reason(saved.pruneError);
  return text;
}

std::u16string MessageText(const PassReport& report, const SavedReport& saved, std::size_t maxProblems) {
  return MessageText(report, maxProblems) + SavedReportLines(saved, report.problems.size() > maxProblems);
}

}  // namespace marlowin::report
