#include "tests/app/ScriptedUser.h"

namespace marlowin::testing {

void ScriptedUser::WillChoose(std::u16string folder) { answers_.push_back({false, std::move(folder)}); }

void ScriptedUser::WillCancel() { answers_.push_back({true, {}}); }

ScriptedUser::Answer ScriptedUser::NextAnswer() {
  if (nextAnswer_ < answers_.size()) return answers_[nextAnswer_++];
  return {};
}

}  // namespace marlowin::testing
