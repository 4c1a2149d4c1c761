// quarnel-render: renders the tester's preview of a brush script to a PNG file without a
// window. It drives the window's preview session: the script is loaded as if dropped (its
// discovery and the repaint that follows), the sliders are moved as the options say, and the
// settled repaint is the preview written.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/DiscoveryJson.h"
#include "cli/Options.h"
#include "cli/PngFile.h"
#include "imaging/Image.h"
#include "preview/PadSession.h"
#include "preview/PreviewSession.h"
#include "preview/ScriptReport.h"
#include "preview/StrokeFile.h"
#include "preview/TextDecode.h"
#include "script/ScriptLoad.h"

#ifndef QUARNEL_VERSION
#define QUARNEL_VERSION "unknown"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitOutput = 1;  // also: the script could not be read
constexpr int kExitUsage = 2;

void Say(const std::string& line) {
  std::fputs(("quarnel-render: " + line + "\n").c_str(), stderr);
}

// Standard output carries only the PNG or the JSON. Whatever else writes to file descriptor 1
// while scripts run (a print that bypasses the host, a library) is sent to standard error
// with --log and nowhere otherwise; the real standard output is kept aside for our result.
class CStdoutGuard {
 public:
  explicit CStdoutGuard(bool toStderr) {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    const int target = toStderr ? dup(STDERR_FILENO) : open("/dev/null", O_WRONLY);
    if (target >= 0) {
      dup2(target, STDOUT_FILENO);
      if (target != STDOUT_FILENO) close(target);
    }
  }
  ~CStdoutGuard() {
    if (saved_ >= 0) close(saved_);
  }
  CStdoutGuard(const CStdoutGuard&) = delete;
  CStdoutGuard& operator=(const CStdoutGuard&) = delete;

  // A stream on the real standard output (null when there was none); the caller closes it.
  std::FILE* Take() {
    if (saved_ < 0) return nullptr;
    std::FILE* f = fdopen(saved_, "wb");
    if (f != nullptr) saved_ = -1;
    return f;
  }

 private:
  int saved_ = -1;
};

int WriteText(CStdoutGuard& out, const std::string& text) {
  std::FILE* f = out.Take();
  if (f == nullptr) {
    Say("cannot write standard output: it is closed");
    return kExitOutput;
  }
  bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f != nullptr && std::fclose(f) != 0) ok = false;
  if (!ok) {
    Say(std::string("cannot write to standard output: ") + std::strerror(errno));
    return kExitOutput;
  }
  return kExitOk;
}

int WriteImage(CStdoutGuard& out, const std::string& path, const pavo::CImage32& image) {
  const bool toStdout = path == "-";
  const std::string shown = toStdout ? std::string("standard output") : "'" + path + "'";
  std::FILE* f = toStdout ? out.Take() : std::fopen(path.c_str(), "wb");
  if (f == nullptr && toStdout) {
    Say("cannot write standard output: it is closed");
    return kExitOutput;
  }
  if (f == nullptr) {
    Say("cannot write " + shown + ": " + std::strerror(errno));
    return kExitOutput;
  }
  std::string error;
  bool ok = quarnel::WritePng(f, image, error);
  const int savedErrno = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    error = std::strerror(errno);
  } else if (!ok && savedErrno != 0) {
    error += std::string(" (") + std::strerror(savedErrno) + ")";
  }
  if (!ok) {
    Say("cannot write " + shown + ": " + error);
    return kExitOutput;
  }
  return kExitOk;
}

// The status as one line: the script's control characters (line breaks, terminal escapes,
// zero bytes) are shown as '?', so that a message cannot forge lines or drive the terminal.
void ReportStatus(const std::string& status) {
  if (status == "OK") return;
  std::string line = "status: " + quarnel::DecodeScriptText(status);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// The sliders moved as the options say, as the user would move them.
void MoveSliders(const quarnel::TRenderOptions& options, quarnel::CPreviewSession& session) {
  if (options.size) session.size.SetPosition(*options.size);
  for (const quarnel::TParamOverride& p : options.params) {
    quarnel::TSlider& slider = session.params[p.slot - 1];
    if (slider.enabled) {
      slider.SetPosition(p.position);
    } else {
      // A disabled slider cannot be moved in the window; its position stays 0.
      const int32_t count = session.Settings().property.count;
      Say("--param " + std::to_string(p.slot) + "=" + std::to_string(p.position) +
          " ignored: slider " + std::to_string(p.slot) + " is disabled (" +
          (options.script ? "the script answers " + std::to_string(count) + " parameter" +
                                (count == 1 ? "" : "s")
                          : std::string("no script")) +
          ")");
    }
  }
}

// --strokes: the script discovered and its sliders settled as for the preview, then the
// file's strokes painted on a pad of the file's size, as the scratchpad paints them.
int RenderStrokes(const quarnel::TRenderOptions& options, const quarnel::TJobLimits& limits,
                  quarnel::CPreviewSession& session, const quarnel::TStrokeFile& file,
                  CStdoutGuard& out) {
  if (options.script) {
    session.SetScript(*options.script);
    session.DiscoverNow();
  }
  MoveSliders(options, session);
  pavo::CImage32 image(pavo::CImage32::TNoSize{});
  if (!image.Resize(file.width, file.height) || image.pixels == nullptr) {
    Say("cannot allocate a pad of " + std::to_string(file.width) + " x " +
        std::to_string(file.height) + " pixels");
    return kExitOutput;
  }
  quarnel::CPadSession pad(limits);
  pad.fixedSeed = options.seed;
  pad.collectOutput = options.log;
  pad.SetImage(&image);
  pad.SetBrush(session.SettledSettings());
  pad.Load(file);
  pad.WaitIdle();
  if (options.script) {
    ReportStatus(session.Status());
    if (!pad.Status().empty()) ReportStatus(pad.Status());
  }
  if (options.log) {
    std::fflush(stdout);
    std::fputs(quarnel::ScriptReport(session.LastDiscoveryOutput(), &pad.LastOutput(), {}).c_str(),
               stderr);
  }
  return WriteImage(out, options.output, image);
}

}  // namespace

int main(int argc, char** argv) {
  quarnel::TRenderOptions options;
  std::string error;
  if (!quarnel::ParseOptions(argc, argv, options, error)) {
    Say(error + " (see --help)");
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(quarnel::UsageText().c_str(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitOutput;
  }
  if (options.version) {
    std::printf("quarnel-render %s\n", QUARNEL_VERSION);
    return std::fflush(stdout) == 0 ? kExitOk : kExitOutput;
  }
  if (options.discover && !options.script) {
    Say("--discover needs a SCRIPT to discover (see --help)");
    return kExitUsage;
  }

  // A script that cannot be read is input the renderer could not read: nothing is written.
  // (An empty file is an empty script.)
  if (options.script) {
    pavo::CFileRead file;
    if (!file.Read(*options.script) && file.error != 0) {
      Say(pavo::CannotReadMessage(*options.script, file.error));
      return kExitOutput;
    }
  }

  // A reader that goes away (a closed pipe) makes the write fail with exit status 1 instead
  // of killing the process.
  std::signal(SIGPIPE, SIG_IGN);
  CStdoutGuard out(options.log);

  // Discovery and every repaint run in the worker program under these limits.
  quarnel::TJobLimits limits;
  limits.seconds = options.timeLimit;
  limits.memoryBytes = options.memoryLimitMiB << 20;
  quarnel::CPreviewSession session(limits);
  session.fixedSeed = options.seed;
  session.pressure = options.pressure;
  session.collectPrint = options.log;
  session.collectErrors = options.log;
  session.collectDebug = options.log;

  if (options.discover) {
    session.SetScript(*options.script);
    session.DiscoverNow();
    ReportStatus(session.Status());
    if (options.log) {
      std::fflush(stdout);
      std::fputs(quarnel::ScriptReport(session.LastDiscoveryOutput(), nullptr, {}).c_str(), stderr);
    }
    return WriteText(out, quarnel::DiscoveryJson(session.Status(), session.Settings()) + "\n");
  }

  if (options.strokes) {
    quarnel::TStrokeFile file;
    if (!quarnel::ReadStrokeFile(*options.strokes, file, error)) {
      Say("--strokes: " + error);
      return kExitUsage;
    }
    return RenderStrokes(options, limits, session, file, out);
  }

  pavo::CImage32 image(pavo::CImage32::TNoSize{});
  session.SetPreview(&image);
  if (!session.ResizePreview(options.width, options.height)) {
    Say("cannot allocate a preview of " + std::to_string(options.width) + " x " +
        std::to_string(options.height) + " pixels");
    return kExitOutput;
  }
  if (options.script) {
    // As a drop does: the script is loaded, and the repaint after its discovery paints with
    // the script's own size and values.
    session.SetScript(*options.script);
    session.ResetChangeCache();
    session.Update(true);
    session.WaitIdle();
  }

  // The sliders moved as the user would, then the repaint the next timer tick makes.
  MoveSliders(options, session);
  if (!options.script) session.ResetChangeCache();
  session.Update(false);
  session.WaitIdle();
  if (options.script) ReportStatus(session.Status());

  if (options.log) {
    std::fflush(stdout);
    std::fputs(
        quarnel::ScriptReport(session.LastDiscoveryOutput(), &session.LastOutput(), {}).c_str(),
        stderr);
  }
  return WriteImage(out, options.output, image);
}
