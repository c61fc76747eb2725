// The texts of the history's own reasons.
#include "history/Failure.h"

#include "platform/Errors.h"

namespace marlowin::history {
namespace {

class Category final : public std::error_category {
 public:
  const char* name() const noexcept override { return "marlowin-history"; }
  std::string message(int value) const override {
    switch (static_cast<HistoryErrc>(value)) {
      case HistoryErrc::kMalformedXml: return "malformed XML";
      case HistoryErrc::kNotAGeneration: return "not an ASC MHL generation";
      case HistoryErrc::kNotAChain: return "not an ASC MHL chain file";
      case HistoryErrc::kGenerationMissing: return "the chain names a generation file that is missing";
      case HistoryErrc::kC4Mismatch: return "the generation file does not match its C4 id in the chain";
      case HistoryErrc::kNotXmlText: return "a text that XML cannot hold";
      case HistoryErrc::kBadValue: return "a value that ASC MHL does not allow";
      case HistoryErrc::kDigestFailed: return "the SHA-512 digest could not be computed";
      case HistoryErrc::kXmlFailed: return "the XML library failed";
      case HistoryErrc::kNoHistory: return "no ASC MHL history";
    }
    return "unknown error";
  }
};

}  // namespace

const std::error_category& HistoryCategory() {
  static const Category category;
  return category;
}

std::string Describe(const Failure& failure) {
  std::string text = platform::Describe(failure.code);
  if (!failure.detail.empty()) text += ": " + failure.detail;
  return text;
}

}  // namespace marlowin::history
