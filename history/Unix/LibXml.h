#pragma once

// libxml2 made ready once per process: its set-up is not safe to run on two threads at once.
#include <libxml/parser.h>

#include <mutex>

namespace marlowin::history {

inline void InitLibXml() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

}  // namespace marlowin::history
