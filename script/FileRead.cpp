// Whole-file reader for brush scripts: the bytes exactly as stored.
#include <sys/stat.h>

#include <cstdio>
#include <new>

#include "script/ScriptLoad.h"

namespace pavo {

namespace {

// Size of a regular file, or -1 when the path names nothing readable as a file (missing,
// a directory, a device).
long long RegularFileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

}  // namespace

// A missing, empty, non-regular or unreadable file gives false and leaves data and size as
// they were; so does a file of 4 GiB or more (size is 32-bit) and one whose buffer cannot be
// allocated. A file that shrinks while it is read keeps the bytes actually read.
bool CFileRead::Read(const std::string& path) {
  const long long known = RegularFileSize(path);
  if (known <= 0 || known > 0xFFFFFFFFll) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  const long long total = RegularFileSize(path);  // asked again, as the file may have changed
  if (total <= 0 || total > 0xFFFFFFFFll) {
    std::fclose(file);
    return false;
  }
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[static_cast<size_t>(total)]);
  if (block == nullptr) {
    std::fclose(file);
    return false;
  }
  const size_t got = std::fread(block.get(), 1, static_cast<size_t>(total), file);
  std::fclose(file);
  data = std::move(block);
  size = static_cast<uint32_t>(got);
  return true;
}

}  // namespace pavo
