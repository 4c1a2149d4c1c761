// Runs the built quarnel-render in a temporary directory and reads back what it wrote: the
// exit status, standard output and error, and PNG files decoded into RGBA pixels.
#pragma once

#include <fcntl.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace render_test {

inline std::string RendererPath() { return QUARNEL_BINARY_DIR "/cli/quarnel-render"; }
inline std::string ExamplesDir() { return QUARNEL_SOURCE_DIR "/examples"; }

struct TRun {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

enum class TStdout { kCaptured, kClosed, kBrokenPipe };

// Runs the renderer with args in directory cwd; standard input is empty, standard output is
// captured, closed, or a pipe whose reader has gone.
inline TRun RunRenderer(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                        TStdout mode = TStdout::kCaptured) {
  const std::filesystem::path outPath = cwd / ".stdout";
  const std::filesystem::path errPath = cwd / ".stderr";
  TRun run;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (mode == TStdout::kClosed) close(1);
    int ends[2];
    if (mode == TStdout::kBrokenPipe && pipe(ends) == 0) {
      dup2(ends[1], 1);
      close(ends[0]);
      close(ends[1]);
    }
    std::vector<char*> argv;
    const std::string program = RendererPath();
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) {
    run.status = WEXITSTATUS(wstatus);
  }
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return run;
}

struct TPng {
  bool ok = false;
  std::string error;
  uint32_t width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 bytes, rows top first

  // 0xAARRGGBB of pixel (x, y), as the preview holds it.
  uint32_t Pixel(uint32_t x, uint32_t y) const {
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
    return (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
};

// Decodes a PNG held in memory; no conversions are asked of libpng, so the header fields
// are what the file says.
inline TPng DecodePng(const std::string& bytes) {
  TPng png;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  // The simplified API gives the pixels; the header fields come from the raw bytes.
  if (bytes.size() < 33 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      bytes.compare(12, 4, "IHDR") != 0) {
    png.error = "not a PNG";
    return png;
  }
  const auto be32 = [&](size_t at) {
    return (uint32_t{static_cast<uint8_t>(bytes[at])} << 24) |
           (uint32_t{static_cast<uint8_t>(bytes[at + 1])} << 16) |
           (uint32_t{static_cast<uint8_t>(bytes[at + 2])} << 8) |
           uint32_t{static_cast<uint8_t>(bytes[at + 3])};
  };
  png.width = be32(16);
  png.height = be32(20);
  png.bitDepth = static_cast<uint8_t>(bytes[24]);
  png.colourType = static_cast<uint8_t>(bytes[25]);
  png.interlace = static_cast<uint8_t>(bytes[28]);
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    png.error = image.message;
    return png;
  }
  image.format = PNG_FORMAT_RGBA;
  png.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, png.rgba.data(), 0, nullptr)) {
    png.error = image.message;
    png_image_free(&image);
    return png;
  }
  png.ok = true;
  return png;
}

// FNV-1a (64 bit) of the RGBA bytes: the golden guards compare it.
inline uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

// A fresh temporary directory, removed with the object.
class CTempDir {
 public:
  CTempDir() {
    static int serial = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("quarnel-render-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~CTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Number of line breaks in text.
inline size_t Lines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

}  // namespace render_test
