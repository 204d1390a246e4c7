// KeyFileStore: reading and writing the small GLib key files that Nubrel keeps in the user's
// XDG directories, safely whatever the user or a dotfile manager has put at their place.
#pragma once

#include <glib.h>

#include <filesystem>
#include <memory>

namespace nubrel {

struct KeyFileDeleter {
  void operator()(GKeyFile* keyFile) const { g_key_file_unref(keyFile); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;

// The key file at path, or nullptr when there is none to read: missing, unreadable, not a key
// file, larger than any file of ours, or not a regular file once links are followed (a FIFO,
// a directory, a device). Never blocks: the file is opened without waiting for a writer.
KeyFilePtr loadKeyFile(const std::filesystem::path& path);

// Replaces the file's contents atomically (a temporary file renamed over it). A symbolic link at
// path is kept: the file it leads to is written instead. Nothing is written when that file exists
// and is not a regular file. Makes missing parent directories. False when nothing was written.
bool saveKeyFile(const std::filesystem::path& path, GKeyFile* keyFile);

// An XDG base directory: the variable's value when it is an absolute path (the base-directory
// rules say to ignore a relative one), else belowHome under $HOME or the account's home.
std::filesystem::path xdgBaseDirectory(const char* variable,
                                       const std::filesystem::path& belowHome);

}  // namespace nubrel
