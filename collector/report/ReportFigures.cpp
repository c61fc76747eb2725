#include "collector/report/ReportFigures.h"

#include "collector/report/QuotedName.h"
#include "collector/report/ReportFile.h"
#include "platform/Text.h"

namespace marlowin::report {
namespace {

using platform::CountedText;
using platform::FormatBytes;

std::string TwoDigits(unsigned n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

std::u16string DurationText(std::chrono::system_clock::duration duration) {
  const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
  if (seconds < 1) return u"less than a second";
  const auto count = [](long long n, std::u16string_view one, std::u16string_view many) {
    return CountedText(static_cast<std::uint64_t>(n), one, many);
  };
  const long long hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
  // Two units at most: nobody reads the seconds of a pass of hours.
  if (hours > 0) return count(hours, u"hour", u"hours") + (minutes > 0 ? u" " + count(minutes, u"minute", u"minutes") : u"");
  if (minutes > 0) return count(minutes, u"minute", u"minutes") + (rest > 0 ? u" " + count(rest, u"second", u"seconds") : u"");
  return count(rest, u"second", u"seconds");
}

std::string IsoTimeText(std::chrono::system_clock::time_point moment) {
  if (moment == std::chrono::system_clock::time_point{}) return {};
  const auto seconds = std::chrono::floor<std::chrono::seconds>(moment);
  const auto days = std::chrono::floor<std::chrono::days>(seconds);
  const std::chrono::year_month_day date{days};
  const std::chrono::hh_mm_ss time{seconds - days};
  return std::to_string(static_cast<int>(date.year())) + "-" + TwoDigits(static_cast<unsigned>(date.month())) + "-" +
         TwoDigits(static_cast<unsigned>(date.day())) + "T" + TwoDigits(static_cast<unsigned>(time.hours().count())) + ":" +
         TwoDigits(static_cast<unsigned>(time.minutes().count())) + ":" +
         TwoDigits(static_cast<unsigned>(time.seconds().count())) + "Z";
}

std::chrono::system_clock::duration PassDuration(const PassReport& report) {
  const std::chrono::system_clock::time_point unknown{};
  if (report.started == unknown || report.finished == unknown || report.finished < report.started) return {};
  return report.finished - report.started;
}

std::u16string FiguresText(const PassReport& report, std::chrono::system_clock::time_point started) {
  std::u16string text = u"Pass started " + ReportTimeText(started) + u", from " + QuotedName(report.startingFolder) +
                        u" to " + QuotedName(report.destinationFolder);
  if (!report.backupFolder.empty()) text += u" and the backup folder " + QuotedName(report.backupFolder);
  text += u".\n";
  if (report.finished != std::chrono::system_clock::time_point{}) {
    text += u"Pass ended " + ReportTimeText(report.finished) + u", after " + DurationText(PassDuration(report)) + u".\n";
  }
  text += FormatBytes(report.bytesWritten) + u" copied";
  if (report.verified) text += u", " + FormatBytes(report.bytesReadBack) + u" read back to prove the copies";
  text += u".\n";
  if (report.roomChecked || report.outcome == Outcome::kNoRoom) {
    text += u"Room on the destination: " + FormatBytes(report.roomNeeded) + u" needed, " + FormatBytes(report.roomFree) +
            u" free.\n";
  }
  return text;
}

}  // namespace marlowin::report
