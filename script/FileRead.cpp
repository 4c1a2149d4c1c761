// Whole-file reader for brush scripts: the bytes exactly as stored.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "script/ScriptLoad.h"

namespace pavo {

namespace {

// Size of a regular file, or -1 with `error` set when the path names nothing readable as a
// file: missing (the errno of stat), a directory (EISDIR), a device or a pipe (EINVAL).
long long RegularFileSize(const std::string& path, int& error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    error = errno;
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  return static_cast<long long>(st.st_size);
}

}  // namespace

// A missing, empty, non-regular or unreadable file gives false and leaves data and size as
// they were; so does a file of 4 GiB or more (size is 32-bit) and one whose buffer cannot be
// allocated. A file that shrinks while it is read keeps the bytes actually read.
bool CFileRead::Read(const std::string& path) {
  error = 0;
  const long long known = RegularFileSize(path, error);
  if (known <= 0) return false;
  if (known > 0xFFFFFFFFll) {
    error = EFBIG;
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = errno != 0 ? errno : EACCES;
    return false;
  }
  const long long total =
      RegularFileSize(path, error);  // asked again, as the file may have changed
  if (total <= 0 || total > 0xFFFFFFFFll) {
    if (total > 0) error = EFBIG;
    std::fclose(file);
    return false;
  }
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[static_cast<size_t>(total)]);
  if (block == nullptr) {
    error = ENOMEM;
    std::fclose(file);
    return false;
  }
  const size_t got = std::fread(block.get(), 1, static_cast<size_t>(total), file);
  std::fclose(file);
  data = std::move(block);
  size = static_cast<uint32_t>(got);
  return true;
}

std::string CannotReadMessage(const std::string& path, int error) {
  const char* why = error == EINVAL ? "not a regular file" : std::strerror(error);
  return "cannot read '" + path + "': " + why;
}

}  // namespace pavo
