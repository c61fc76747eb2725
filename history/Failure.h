#pragma once

// Why reading or writing a history failed: a reason (an error code) and where it happened, and
// Result<T>, a value or such a failure.
#include <string>
#include <system_error>
#include <utility>
#include <variant>

namespace marlowin::history {

enum class HistoryErrc {
  kMalformedXml = 1,      // not well-formed XML (or a document type declaration)
  kNotAGeneration,        // well-formed, but no ASC MHL generation we can use
  kNotAChain,             // well-formed, but no ASC MHL chain file
  kGenerationMissing,     // the chain names a generation file that ascmhl/ does not hold
  kC4Mismatch,            // a generation file's bytes differ from the C4 id the chain holds
  kNotXmlText,            // a text that XML cannot hold (a control character, a lone surrogate)
  kBadValue,              // a value the format does not allow (a path with "..", a bad hash)
  kDigestFailed,          // the system could not compute a SHA-512 digest
  kXmlFailed,             // the system's XML library failed while writing or parsing
  kNoHistory,             // the folder holds no ascmhl/ascmhl_chain.xml
};

const std::error_category& HistoryCategory();

inline std::error_code make_error_code(HistoryErrc e) { return {static_cast<int>(e), HistoryCategory()}; }

// A reason and, for people, what it is about: "line 3: ...", a file name, a path. No code means
// success.
struct Failure {
  std::error_code code;
  std::string detail;
  explicit operator bool() const { return static_cast<bool>(code); }
};

// "malformed XML: line 3: ..." in UTF-8, for a problem line.
std::string Describe(const Failure& failure);

// A value, or the failure that kept it from being made.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Failure failure) : state_(std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  const Failure& failure() const { return std::get<1>(state_); }
  std::error_code error() const { return ok() ? std::error_code() : failure().code; }

 private:
  std::variant<T, Failure> state_;
};

}  // namespace marlowin::history

template <>
struct std::is_error_code_enum<marlowin::history::HistoryErrc> : std::true_type {};
