#pragma once

// A pass over the benchmark's shoot (8 shot folders x 6 clips x 40 MiB), simulated on the progress
// meter's clock, with the snapshots the pass sends: each clip's adl copy read from the card, its
// int copy (clips 02 to 05; the greatest has none) made from the adl copy on the destination,
// batches of 1 GiB as the plan cuts them, each read back on a thread of its own while the next is
// written, and waited for before the next is handed over; the last is waited for at the end.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "collector/report/Progress.h"
#include "collector/report/ProgressMeter.h"

namespace marlowin::testing {

struct DiskRates {
  double card = 0;      // an adl copy, bytes a second
  double intCopy = 0;   // an int copy from the adl copy on the destination
  double readBack = 0;  // reading copies back, alone; 0: no verification
  double together = 1;  // the share of its rate each keeps while a read-back and a copy run at once
  // Each clip's copy goes at its rate times the next of these, in turn: cards and disks do not
  // keep one pace.
  std::vector<double> wobble = {1.0};
};

struct Moment {
  double seconds = 0;            // since the copying began
  std::optional<double> left;    // told by the meter, in seconds
  report::PassProgress progress;
};

// Runs the pass, telling `meter` a snapshot every `step` seconds, and returns what the meter told
// at each one; the pass ends at the last moment's time.
std::vector<Moment> SimulateBenchmarkPass(const DiskRates& rates, report::ProgressMeter& meter, double step = 0.01);

}  // namespace marlowin::testing
