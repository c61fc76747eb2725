#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace marlowin {

// marlowin-collect STARTING_FOLDER DESTINATION_FOLDER: one pass, one line, an exit status
// (0 every clip copied, 1 some could not be, 2 bad arguments or a folder not found).
int RunCollectCommand(const std::vector<std::u16string>& arguments, sys::FileSystem& fs,
                      std::ostream& out, std::ostream& err);

}  // namespace marlowin
