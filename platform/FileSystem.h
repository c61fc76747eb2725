#pragma once

#include <string>
#include <vector>

namespace marlowin::sys {

// The separator the program joins paths with: "\" on Windows, "/" on POSIX.
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

struct FolderEntry {
  std::u16string name;
  bool isFolder = false;  // a folder, or a link to one; everything else counts as a file
};

// What the collection pass and the run need from the file system. Every operation takes
// paths exactly as formed by the caller; nothing is normalised.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The entries of a folder, without "." and "..", in ascending order of their names'
  // UTF-16 code units. False (and no entries) when the folder cannot be listed.
  virtual bool ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries) = 0;

  // True when an entry with exactly this path can be looked up.
  virtual bool Exists(const std::u16string& path) = 0;

  // Creates one folder whose parent exists; false when it exists already or cannot be made.
  virtual bool MakeFolder(const std::u16string& path) = 0;

  // Copies a regular file (or a link to one) to the target, replacing a file of that name.
  // The target is written under a temporary name and moved into place, so a failed copy
  // leaves neither a partial file nor a damaged earlier copy.
  virtual bool CopyReplacing(const std::u16string& from, const std::u16string& to) = 0;

  // Gives a file a new name; never replaces an existing entry of the new name.
  virtual bool RenameNoReplace(const std::u16string& from, const std::u16string& to) = 0;

  virtual bool RemoveFile(const std::u16string& path) = 0;

  // Removes a folder, and only when it is empty.
  virtual bool RemoveEmptyFolder(const std::u16string& path) = 0;
};

// The operating system's file system.
FileSystem& RealFileSystem();

// For implementations: ends a listing, sorted as ListFolder promises, or empty and false
// when it was cut short.
bool FinishListing(bool complete, std::vector<FolderEntry>& entries);

}  // namespace marlowin::sys
