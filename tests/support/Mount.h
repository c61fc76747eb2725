#pragma once

// For the tests that make faults for real on Linux (as root): a shell command, whether a tool is
// there, a path quoted for the shell, and a mount undone however the test ends.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/NativeName.h"

namespace marlowin::testing {

// Runs `command` with its output dropped; its exit status.
inline int Shell(const std::string& command) { return std::system(("{ " + command + "; } >/dev/null 2>&1").c_str()); }

inline bool Have(const char* tool) { return Shell(std::string("command -v ") + tool) == 0; }

inline std::string Quote(const std::u16string& path) { return "'" + platform::ToNativeName(path) + "'"; }

class Mount {
 public:
  explicit Mount(std::u16string point) : point_(std::move(point)) {}
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  ~Mount() {
    if (mounted_) Shell("fusermount -u " + Quote(point_) + " || umount -l " + Quote(point_));
    if (!loop_.empty()) Shell("losetup -d " + loop_);
  }
  // Sets up a loop device for the image (its path as the shell takes it), detached after the
  // mount; false when none can be had here.
  bool AttachLoop(const std::string& image) {
    FILE* loop = ::popen(("losetup -f --show " + image + " 2>/dev/null").c_str(), "r");
    char device[64] = {};
    if (loop && std::fgets(device, sizeof device, loop)) loop_ = std::string(device).substr(0, std::string(device).find('\n'));
    if (loop) ::pclose(loop);
    return !loop_.empty();
  }
  bool Run(const std::string& command) {
    mounted_ = Shell(command) == 0;
    return mounted_;
  }
  std::string loop_;  // the loop device the mount uses, detached after it

 private:
  std::u16string point_;
  bool mounted_ = false;
};

}  // namespace marlowin::testing
