#include "collector/report/ReportFigures.h"

#include <gtest/gtest.h>

#include "collector/report/ReportFile.h"

namespace marlowin {
namespace {

using namespace std::chrono_literals;

TEST(ReportFigures, TheSavedReportTellsWhenHowLongHowMuchAndTheRoom) {
  report::PassReport report;
  report.startingFolder = u"S";
  report.destinationFolder = u"D";
  report.started = std::chrono::system_clock::from_time_t(1700000000);
  report.finished = report.started + 6min + 4s;
  report.bytesWritten = 1234ull * 1000 * 1000;
  report.bytesReadBack = 2468ull * 1000 * 1000;
  report.roomChecked = true;
  report.roomNeeded = 1300ull * 1000 * 1000;
  report.roomFree = 180ull * 1000 * 1000 * 1000;
  const std::u16string text = report::FiguresText(report, report.started);
  const std::u16string start = report::ReportTimeText(report.started), end = report::ReportTimeText(report.finished);
  EXPECT_EQ(text, u"Pass started " + start + u", from S to D.\n"
                  u"Pass ended " + end + u", after 6 minutes 4 seconds.\n"
                  u"1.2 GB copied, 2.5 GB read back to prove the copies.\n"
                  u"Room on the destination: 1.3 GB needed, 180 GB free.\n");
  EXPECT_EQ(report::IsoTimeText(report.started), "2023-11-14T22:13:20Z");
  EXPECT_EQ(report::IsoTimeText({}), "");

  // Without verification nothing is read back; room not asked is not told.
  report.verified = false;
  report.roomChecked = false;
  const std::u16string plain = report::FiguresText(report, report.started);
  EXPECT_NE(plain.find(u"\n1.2 GB copied.\n"), std::u16string::npos);
  EXPECT_EQ(plain.find(u"Room"), std::u16string::npos);
}

TEST(ReportFigures, DurationsInTwoUnitsAtMost) {
  EXPECT_EQ(report::DurationText(300ms), u"less than a second");
  EXPECT_EQ(report::DurationText(1s), u"1 second");
  EXPECT_EQ(report::DurationText(59s), u"59 seconds");
  EXPECT_EQ(report::DurationText(60s), u"1 minute");
  EXPECT_EQ(report::DurationText(2h + 3min + 9s), u"2 hours 3 minutes");
  EXPECT_EQ(report::DurationText(1h), u"1 hour");
}

}  // namespace
}  // namespace marlowin
