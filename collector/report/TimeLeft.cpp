#include "collector/report/TimeLeft.h"

#include <algorithm>
#include <cstdint>

namespace marlowin::report {
namespace {

bool Usable(const std::optional<double>& rate) { return rate && *rate > 0; }

std::optional<double> Either(const std::optional<double>& first, const std::optional<double>& second) {
  if (Usable(first)) return first;
  if (Usable(second)) return second;
  return std::nullopt;
}

// What is left of [from, to) once `done` is reached.
double Left(std::uint64_t from, std::uint64_t to, std::uint64_t done) {
  const std::uint64_t start = std::max(from, done);
  return to > start ? static_cast<double>(to - start) : 0.0;
}

struct Rates {
  double copyAlone, copyBeside, readAlone, readBeside;
};

// Writing `copy` bytes while `read` bytes are read back beside it, until both are done.
double Together(double copy, double read, const Rates& r) {
  if (copy <= 0) return read / r.readAlone;
  if (read <= 0) return copy / r.copyAlone;
  const double copyTime = copy / r.copyBeside, readTime = read / r.readBeside;
  if (copyTime <= readTime) return copyTime + (read - copyTime * r.readBeside) / r.readAlone;
  return readTime + (copy - readTime * r.copyBeside) / r.copyAlone;
}

}  // namespace

std::optional<double> SecondsLeft(const PassProgress& progress, const WorkRates& rates) {
  const std::uint64_t copied = std::min(progress.bytesCopied, progress.bytesToCopy);
  const std::uint64_t read = std::min(progress.bytesReadBack, progress.bytesToReadBack);
  // What one keeps of its pace beside the other, the other keeps too: they share one disk.
  double share = 1;
  if (Usable(rates.copyAlone) && Usable(rates.copyBeside)) {
    share = *rates.copyBeside / *rates.copyAlone;
  } else if (Usable(rates.readAlone) && Usable(rates.readBeside)) {
    share = *rates.readBeside / *rates.readAlone;
  }
  const auto aloneOf = [share](const std::optional<double>& besideRate) -> std::optional<double> {
    if (!Usable(besideRate)) return std::nullopt;
    return *besideRate / share;
  };
  const auto besideOf = [share](const std::optional<double>& aloneRate) -> std::optional<double> {
    if (!Usable(aloneRate)) return std::nullopt;
    return *aloneRate * share;
  };
  const std::optional<double> copyAlone = Either(rates.copyAlone, aloneOf(rates.copyBeside));
  const std::optional<double> copyBeside = Either(rates.copyBeside, besideOf(rates.copyAlone));
  const std::optional<double> readAlone = Either(rates.readAlone, aloneOf(rates.readBeside));
  const std::optional<double> readBeside = Either(rates.readBeside, besideOf(rates.readAlone));
  if (copied < progress.bytesToCopy && !copyAlone) return std::nullopt;
  if (read < progress.bytesToReadBack && !readAlone) return std::nullopt;
  const Rates r{copyAlone.value_or(1), copyBeside.value_or(1), readAlone.value_or(1), readBeside.value_or(1)};

  Batches batches;
  if (progress.batches) batches = *progress.batches;
  // Whatever the batches do not cover is copied, then read back, at the end.
  if (batches.empty() || batches.back().copied < progress.bytesToCopy ||
      batches.back().readBack < progress.bytesToReadBack) {
    batches.push_back({progress.bytesToCopy, progress.bytesToReadBack, true});
  }

  double seconds = 0;
  double pending = 0;  // of the read-back handed over last
  BatchEnd before;
  for (const BatchEnd& batch : batches) {
    const double copyLeft = Left(before.copied, batch.copied, copied);
    const double readLeft = Left(before.readBack, batch.readBack, read);
    before = batch;
    if (copyLeft == 0 && readLeft == 0) continue;
    // The batch is written beside the read-back before it, which is waited for; then it is handed over.
    seconds += Together(copyLeft, pending, r);
    pending = readLeft;
    if (batch.settle) {
      seconds += pending / r.readAlone;
      pending = 0;
    }
  }
  return seconds + pending / r.readAlone;
}

}  // namespace marlowin::report
