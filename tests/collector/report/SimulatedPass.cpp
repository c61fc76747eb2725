#include "tests/collector/report/SimulatedPass.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace marlowin::testing {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kClipBytes = 40 * kMiB;
constexpr int kShots = 8;
constexpr int kClipsPerShot = 6;
constexpr std::uint64_t kBatchBytes = 1ull << 30;

struct Clip {
  int copies = 1;      // the adl copy, and the int copy of clips 02 to 05
  bool commitAfter = false;  // the plan cuts a batch after it
};

std::vector<Clip> BenchmarkClips() {
  std::vector<Clip> clips;
  std::uint64_t batch = 0;
  for (int shot = 0; shot < kShots; ++shot) {
    for (int number = 1; number <= kClipsPerShot; ++number) {
      Clip clip;
      clip.copies = number != 1 && number != kClipsPerShot ? 2 : 1;
      batch += kClipBytes * static_cast<std::uint64_t>(clip.copies);
      if (batch >= kBatchBytes) {
        clip.commitAfter = true;
        batch = 0;
      }
      clips.push_back(clip);
    }
  }
  return clips;
}

}  // namespace

std::vector<Moment> SimulateBenchmarkPass(const DiskRates& rates, report::ProgressMeter& meter, double step) {
  const std::vector<Clip> clips = BenchmarkClips();
  const bool verify = rates.readBack > 0;

  report::PassProgress p;
  p.stage = report::PassProgress::Stage::kCopying;
  p.clipsTotal = clips.size();
  auto batches = std::make_shared<report::Batches>();
  report::BatchEnd end;
  for (const Clip& clip : clips) {
    end.copied += kClipBytes;
    if (verify) end.readBack += kClipBytes * static_cast<std::uint64_t>(clip.copies);
    if (clip.commitAfter) batches->push_back(end);
  }
  end.settle = true;
  batches->push_back(end);
  p.bytesToCopy = end.copied;
  p.bytesToReadBack = end.readBack;
  p.batches = batches;

  std::vector<Moment> moments;
  const auto clock = report::ProgressMeter::Clock::time_point{};
  double now = 0;
  const auto tell = [&] {
    meter.Update(p, clock + std::chrono::duration_cast<report::ProgressMeter::Clock::duration>(
                                std::chrono::duration<double>(now)));
    Moment moment;
    moment.seconds = now;
    if (const auto left = meter.TimeLeft()) moment.left = std::chrono::duration<double>(*left).count();
    moment.progress = p;
    moments.push_back(moment);
  };

  double readLeft = 0;            // of the batch being read back
  std::size_t readClips = 0;      // the clips it concludes
  std::size_t batchClips = 0;     // of the batch being written
  std::uint64_t batchBytes = 0;
  // Runs the time of one step: the copy (when `copying`, at `copyRate`) and the read-back in flight
  // share the disk. Returns the bytes copied.
  const auto advance = [&](bool copying, double copyRate) {
    const bool reading = readLeft > 0;
    const double share = copying && reading ? rates.together : 1.0;
    if (reading) {
      const double read = std::min(readLeft, rates.readBack * share * step);
      readLeft -= read;
      p.bytesReadBack += static_cast<std::uint64_t>(std::llround(read));
      if (readLeft <= 0.5) {
        readLeft = 0;
        p.clipsDone += readClips;
        readClips = 0;
      }
    }
    p.readingBack = readLeft > 0;
    now += step;
    return copying ? copyRate * share * step : 0.0;
  };
  // The pass waits for the read-back before it hands over the next batch.
  const auto handOver = [&] {
    p.currentClip.clear();
    if (readLeft > 0) p.stage = report::PassProgress::Stage::kVerifying;
    while (readLeft > 0) {
      advance(false, 0);
      tell();
    }
    p.stage = report::PassProgress::Stage::kCopying;
    if (verify) {
      readLeft = static_cast<double>(batchBytes);
      readClips = batchClips;
    } else {
      p.clipsDone += batchClips;
    }
    p.readingBack = readLeft > 0;
    batchClips = 0;
    batchBytes = 0;
  };

  tell();
  for (std::size_t i = 0; i < clips.size(); ++i) {
    const Clip& clip = clips[i];
    const double wobble = rates.wobble[i % rates.wobble.size()];
    const std::string number = std::to_string(i % kClipsPerShot + 1);
    p.currentClip = u"/card/day00_cam0_take" + std::u16string(1, static_cast<char16_t>(u'0' + i / kClipsPerShot)) +
                    u"/MP4 HIGH RES/v0" + std::u16string(number.begin(), number.end()) + u".mp4";
    const std::uint64_t base = p.bytesCopied;
    for (int copy = 0; copy < clip.copies; ++copy) {
      const double rate = (copy == 0 ? rates.card : rates.intCopy) * wobble;
      double written = 0;
      while (written < static_cast<double>(kClipBytes)) {
        written = std::min(written + advance(true, rate), static_cast<double>(kClipBytes));
        p.bytesCopied = base + static_cast<std::uint64_t>(
                                   (static_cast<double>(copy) * static_cast<double>(kClipBytes) + written) / clip.copies);
        tell();
      }
    }
    p.bytesCopied = base + kClipBytes;
    ++batchClips;
    batchBytes += kClipBytes * static_cast<std::uint64_t>(clip.copies);
    if (clip.commitAfter) handOver();
  }
  handOver();  // the last batch, then it is waited for
  handOver();
  p.stage = report::PassProgress::Stage::kDone;
  tell();
  return moments;
}

}  // namespace marlowin::testing
