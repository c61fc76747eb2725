// Numbers and names of generations, and a history read generation by generation.
#include "history/History.h"

#include <algorithm>
#include <cstdio>

#include "history/MhlDate.h"
#include "history/XmlText.h"
#include "platform/NativeName.h"

namespace marlowin::history {
namespace {

Failure WithFile(Failure failure, const std::u16string& fileName) {
  const std::string name = platform::ToDisplay(fileName);
  failure.detail = failure.detail.empty() ? name : name + ": " + failure.detail;
  return failure;
}

}  // namespace

std::uint64_t NumberOfGenerationFile(std::u16string_view name) {
  const std::size_t underscore = name.find(u'_');
  if (underscore == 0 || underscore == std::u16string_view::npos || !name.ends_with(u".mhl")) return 0;
  std::string digits;
  for (char16_t c : name.substr(0, underscore)) {
    if (c < u'0' || c > u'9') return 0;
    digits.push_back(static_cast<char>(c));
  }
  return ParseUnsigned(digits).value_or(0);
}

std::uint64_t NextSequenceNumber(const Chain& chain, const std::vector<std::u16string>& historyFolderNames) {
  std::uint64_t last = 0;
  for (const ChainEntry& entry : chain.generations) last = std::max(last, entry.sequence);
  for (const std::u16string& name : historyFolderNames) last = std::max(last, NumberOfGenerationFile(name));
  return last + 1;
}

std::u16string GenerationFileName(std::uint64_t sequence, std::u16string_view folderName, platform::FileTime startUtc) {
  char number[24];
  std::snprintf(number, sizeof number, "%04llu_", static_cast<unsigned long long>(sequence));
  const std::u16string head = platform::FromNativeName(number);
  const std::u16string tail = u"_" + platform::FromNativeName(FormatNameDate(startUtc)) + u".mhl";
  // The chain names the file in XML: what XML cannot hold of the folder's name (a byte that is
  // not UTF-8, a control character) is written as "_".
  std::u16string folder;
  for (std::size_t i = 0; i < folderName.size(); ++i) {
    const char16_t c = folderName[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < folderName.size() && folderName[i + 1] >= 0xDC00 &&
                      folderName[i + 1] <= 0xDFFF;
    if (pair) {
      folder.append(folderName.substr(i++, 2));
    } else if ((c >= 0xD800 && c <= 0xDFFF) || (c < 0x20) || c == 0xFFFE || c == 0xFFFF) {
      folder.push_back(u'_');
    } else {
      folder.push_back(c);
    }
  }
  // No file name of any file system we write to holds more than 255 bytes (UTF-8 on Linux) or
  // 255 UTF-16 units (Windows): the folder's name is shortened to fit, a character at a time.
  constexpr std::size_t kLongestName = 255;
  while (!folder.empty() && platform::ToNativeName(head + folder + tail).size() > kLongestName) {
    folder.pop_back();
    if (!folder.empty() && folder.back() >= 0xD800 && folder.back() <= 0xDBFF) folder.pop_back();
  }
  return head + folder + tail;
}

Failure CheckChainFiles(const Chain& chain, const std::vector<std::u16string>& historyFolderNames) {
  for (const ChainEntry& entry : chain.generations) {
    if (std::find(historyFolderNames.begin(), historyFolderNames.end(), entry.fileName) == historyFolderNames.end()) {
      return {HistoryErrc::kGenerationMissing, platform::ToDisplay(entry.fileName)};
    }
  }
  return {};
}

Result<History> ReadHistory(const Chain& chain, const std::vector<std::u16string>& historyFolderNames,
                            const ReadGenerationFile& read) {
  if (Failure missing = CheckChainFiles(chain, historyFolderNames)) return missing;
  History history;
  for (const ChainEntry& entry : chain.generations) {
    std::string bytes;
    if (std::error_code error = read(entry.fileName, bytes)) return WithFile({error, {}}, entry.fileName);
    if (Failure mismatch = CheckGeneration(entry, bytes)) return mismatch;
    Result<Generation> generation = ParseGeneration(bytes);
    if (!generation) return WithFile(generation.failure(), entry.fileName);
    history.generations.push_back({entry, std::move(generation.value())});
  }
  return history;
}

}  // namespace marlowin::history
