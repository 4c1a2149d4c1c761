// Hostile scripts against the built quarnel-render: endless loops, loops the count hook cannot
// reach, memory exhaustion, deep recursion, odd files, bytecode, non-finite numbers, error
// values, tampering with the globals, environments and the registry, print floods and reads of
// standard input. Each script runs in each place it makes sense (the main chunk, param1,
// use_base, default_size, main, last), both through --discover and through a PNG render, and
// every run must end within the budget plus a margin, exit 0, write a valid PNG or strict JSON,
// keep the script's print off standard output and give the expected status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/StrictJson.h"
#include "tests/cli/RenderHarness.h"

namespace {

using render_test::CTempDir;
using render_test::ReadFile;
using render_test::WriteFile;
using strict_json::ParseJson;
using strict_json::TJson;
using strict_json::ValidUtf8;
using Clock = std::chrono::steady_clock;

constexpr const char* kMarker = "HOSTILE-PRINT-MARKER";
constexpr int kWidth = 160;
constexpr int kHeight = 96;
// Sanitized builds run scripts several times slower: their budgets and margins are stretched
// alike, so that what stops a script stays the same.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kSlowdown = 3.0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr double kSlowdown = 3.0;
#else
constexpr double kSlowdown = 1.0;
#endif
#else
constexpr double kSlowdown = 1.0;
#endif
constexpr double kMargin = 1.5 * kSlowdown;  // seconds allowed beyond the budget
constexpr double kWatchdog = 30.0;           // a run still going after this long has hung
constexpr size_t kLogCap = 32 << 20;         // bytes of --log text that count as bounded
constexpr size_t kLabelCap = 1 << 20;        // bytes of a label that count as bounded

// --- running the renderer ----------------------------------------------------------------

struct TOutcome {
  int status = -1;  // exit status, -1 when it did not exit normally
  bool hung = false;
  bool leftBehind = false;  // a process of its group outlived it (a worker not reaped)
  double seconds = 0.0;
  std::string out, err;
};

// quarnel-render started in cwd, in a process group of its own. Its standard input is a pipe
// that stays open and empty until the run ends, so a read of it would block rather than see
// the end of the file.
class CRun {
 public:
  CRun(const std::vector<std::string>& args, const std::filesystem::path& cwd,
       const std::string& tag)
      : outPath_(cwd / (".stdout-" + tag)), errPath_(cwd / (".stderr-" + tag)) {
    int in[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0) return;
    start_ = Clock::now();
    pid_ = fork();
    if (pid_ == 0) {
      setpgid(0, 0);
      if (chdir(cwd.c_str()) != 0) _exit(126);
      const int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(in[0], 0);
      dup2(out, 1);
      dup2(err, 2);
      std::vector<char*> argv;
      const std::string program = render_test::RendererPath();
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    if (pid_ > 0) setpgid(pid_, pid_);
    close(in[0]);
    stdinWriter_ = in[1];
  }
  CRun(const CRun&) = delete;
  CRun& operator=(const CRun&) = delete;
  ~CRun() {
    if (stdinWriter_ >= 0) close(stdinWriter_);
  }

  // Kills the renderer alone, as a crash would, leaving its worker.
  bool KillLeader() { return pid_ > 0 && kill(pid_, SIGKILL) == 0; }

  // leftGrace: how long the rest of the group may outlive the renderer.
  TOutcome Wait(double leftGrace = 0.1) {
    TOutcome o;
    if (pid_ <= 0) return o;
    int wstatus = 0;
    for (;;) {
      const pid_t got = waitpid(pid_, &wstatus, WNOHANG);
      o.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
      if (got == pid_) break;
      if (o.seconds > kWatchdog) {
        o.hung = true;
        kill(-pid_, SIGKILL);
        waitpid(pid_, &wstatus, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!o.hung && WIFEXITED(wstatus)) o.status = WEXITSTATUS(wstatus);
    // The renderer reaps its workers before it exits: nothing of its group may be left.
    const Clock::time_point exited = Clock::now();
    while (kill(-pid_, 0) == 0 &&
           std::chrono::duration<double>(Clock::now() - exited).count() < leftGrace) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (kill(-pid_, 0) == 0) {
      o.leftBehind = true;
      kill(-pid_, SIGKILL);
    }
    close(stdinWriter_);
    stdinWriter_ = -1;
    o.out = ReadFile(outPath_);
    o.err = ReadFile(errPath_);
    std::filesystem::remove(outPath_);
    std::filesystem::remove(errPath_);
    return o;
  }

 private:
  std::filesystem::path outPath_, errPath_;
  Clock::time_point start_;
  pid_t pid_ = -1;
  int stdinWriter_ = -1;
};

// --- places and cases ---------------------------------------------------------------------

enum class EPlace { kWhole, kChunk, kParam1, kUseBase, kDefaultSize, kMain, kLast };

struct TPlace {
  EPlace place;
  const char* name;   // in test names
  const char* where;  // as the stop message names it
  bool repaint;       // runs in the repaint, not in discovery
  const char* head;   // script text before the body
  const char* tail;   // and after it
};

// The main chunk and every function print the marker, which must never reach standard output;
// it is split in the source because messages quote the script's first line.
const TPlace kPlaces[] = {
    {EPlace::kWhole, "file", "the main chunk", false, "", ""},
    {EPlace::kChunk, "chunk", "the main chunk", false, "print('HOSTILE-PRINT-' .. 'MARKER')\n",
     "\n"},
    {EPlace::kParam1, "param1", "param1", false,
     "print('HOSTILE-PRINT-' .. 'MARKER')\nfunction param1()\nprint('HOSTILE-PRINT-' .. "
     "'MARKER')\n",
     "\nreturn 'p', 0, 100, 50\nend\n"},
    {EPlace::kUseBase, "use_base", "use_base", false,
     "print('HOSTILE-PRINT-' .. 'MARKER')\nfunction use_base()\nprint('HOSTILE-PRINT-' .. "
     "'MARKER')\n",
     "\nreturn true\nend\n"},
    {EPlace::kDefaultSize, "default_size", "default_size", false,
     "print('HOSTILE-PRINT-' .. 'MARKER')\nfunction default_size()\nprint('HOSTILE-PRINT-' .. "
     "'MARKER')\n",
     "\nreturn 12, 0\nend\n"},
    {EPlace::kMain, "main", "main", true,
     "print('HOSTILE-PRINT-' .. 'MARKER')\nfunction main(x, y, p)\nprint('HOSTILE-PRINT-' .. "
     "'MARKER')\n",
     "\nend\n"},
    {EPlace::kLast, "last", "last", true,
     "print('HOSTILE-PRINT-' .. 'MARKER')\nfunction last(x, y, p)\nprint('HOSTILE-PRINT-' .. "
     "'MARKER')\n",
     "\nend\n"},
};

const TPlace& PlaceOf(EPlace p) {
  for (const TPlace& row : kPlaces) {
    if (row.place == p) return row;
  }
  return kPlaces[0];
}

// Expected statuses: nullptr takes any, "" none ("OK" in the JSON, no status line), "!" any
// failure; other texts must occur in the status, with {job} standing for "parameter
// discovery" or "the repaint", {in} for the place as the stop message names it and {s} for the
// budget as it names it.
constexpr const char* kAny = nullptr;
constexpr const char* kNone = "";
constexpr const char* kFailed = "!";
constexpr const char* kStopLua =
    "the script was stopped: it ran longer than the {s} s allowed for "
    "{job} (in {in}, line ";
constexpr const char* kStopStuck =
    "the script was stopped: it ran longer than the {s} s allowed "
    "for {job}, inside a call that cannot be interrupted";
constexpr const char* kStopAny =
    "the script was stopped: it ran longer than the {s} s allowed for "
    "{job}";

const std::vector<EPlace> kEverywhere = {EPlace::kChunk,       EPlace::kParam1, EPlace::kUseBase,
                                         EPlace::kDefaultSize, EPlace::kMain,   EPlace::kLast};
const std::vector<EPlace> kChunkParamMain = {EPlace::kChunk, EPlace::kParam1, EPlace::kMain};
const std::vector<EPlace> kChunkParamMainLast = {EPlace::kChunk, EPlace::kParam1, EPlace::kMain,
                                                 EPlace::kLast};
const std::vector<EPlace> kWholeFile = {EPlace::kWhole};

struct TCase {
  const char* name;
  // A file under tests/hostile/scripts ("*.bs"), or the body itself.
  const char* body;
  // Makes the whole file instead (huge files, binary garbage, bytecode ...); body is then unused.
  std::string (*make)();
  std::vector<EPlace> places;
  // --time-limit in seconds (before the sanitizers' stretch); scripts that must finish get a
  // budget well above what they need, so that a loaded machine does not stop them.
  const char* budget;
  int memoryMiB;  // --memory-limit; 0 leaves the default
  // Status when the body runs in the main chunk (for a whole file: the discovery's status).
  const char* inChunk;
  // Status when it runs in a function (for a whole file: the render's status).
  const char* inFunction;
  bool log = false;            // render with --log as well, whose text must stay bounded
  const char* path = nullptr;  // script path given instead of the file (a device, a pipe)
  int params = -1;             // sliders the discovery must find; -1: any number
};

// --- files made at test time ---------------------------------------------------------------

constexpr size_t kHuge = size_t{40} << 20;

std::string HugeComment() {
  std::string s = "--[[\n";
  const std::string line(99, 'c');
  while (s.size() < kHuge) s += line + "\n";
  return s + "]]\nfunction param1() return 'big', 0, 10, 5 end\n";
}

std::string HugeStatements() {
  std::string s;
  while (s.size() < kHuge) s += "a = 1\n";
  return s;
}

std::string HugeString() {
  return "S = '" + std::string(kHuge, 's') + "'\nfunction param1() return 'big', 0, 10, 5 end\n";
}

// Nesting deeper than the compiler allows, which it refuses rather than overflowing the C stack.
std::string DeepNesting() {
  return "x = " + std::string(100000, '(') + "1" + std::string(100000, ')') + "\n" +
         "function param1() return 'a', 0, 1, 0 end\n";
}

// A hundred thousand elseif branches: the compiler patches its jump list once per branch over
// every branch before it, a single C call that practically never ends.
std::string LongElseif() {
  std::string s = "if x then ";
  for (int i = 0; i < 100000; ++i) s += "elseif x then ";
  return s + "end\n";
}

std::string BinaryGarbage() {
  std::string s(size_t{1} << 20, '\0');
  uint32_t x = 12345;
  for (char& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

std::string LoneBom() { return "\xEF\xBB\xBF"; }
std::string BomBeforeScript() {
  return "\xEF\xBB\xBF"
         "function param1() return 'a', 0, 1, 0 end\n";
}
std::string ZeroBytes() { return std::string(4096, '\0'); }
std::string ZeroInScript() {
  std::string s = "function param1() return 'a', 0, 1, 0 end\n";
  s += '\0';
  return s + "while true do end\n";
}
std::string EmptyFile() { return std::string(); }

// A header of the interpreter's bytecode (signature, version 5.1, format, little endian, the
// sizes of int, size_t, instruction and number, floating numbers) followed by junk.
std::string BytecodeFile() {
  return std::string("\x1bLuaQ\x00\x01\x04\x08\x04\x08\x00", 12) + std::string(64, '\x7f');
}

// Every discovery function answers with non-finite numbers and 1e308 in all its results,
// rotated so that each value lands in each position across param1..param10.
std::string NonFiniteResults(int shift) {
  const char* v[] = {"0/0", "1/0", "-1/0", "1e308", "-1e308"};
  std::string s;
  for (int k = 0; k < 10; ++k) {
    const auto at = [&](int i) { return std::string(v[(k + i + shift) % 5]); };
    const std::string label = k % 3 == 0 ? at(0) : "'p" + std::to_string(k + 1) + "'";
    s += "function param" + std::to_string(k + 1) + "() return " + label + ", " + at(1) + ", " +
         at(2) + ", " + at(3) + " end\n";
  }
  s += "function default_size() return " + std::string(v[shift % 5]) + ", " + v[(shift + 1) % 5] +
       " end\n";
  s += "function use_base() return " + std::string(v[(shift + 2) % 5]) + " end\n";
  s += "function main(x, y, p) bs_ellipse(x, y, bs_width(), bs_width(), 0, 0, 0, 0, 255) end\n";
  return s;
}
std::string NonFiniteResults0() { return NonFiniteResults(0); }
std::string NonFiniteResults1() { return NonFiniteResults(1); }
std::string NonFiniteResults2() { return NonFiniteResults(2); }

// Labels that JSON must escape: control bytes, quotes, backslashes, bytes that are not UTF-8,
// a byte-order mark, a zero byte, a megabyte; then values of the wrong types.
std::string OddLabels() {
  return "function param1() return '\\0\\1\\8\\27\\31\\127\"\\\\/', 0, 1, 0 end\n"
         "function param2() return '\\255\\254\\192\\128\\237\\160\\128\\244\\144', 0, 1, 0 end\n"
         "function param3() return '\\239\\187\\191bom', 0, 1, 0 end\n"
         "function param4() return string.rep('L', 2 ^ 20), 0, 1, 0 end\n"
         "function param5() return {}, {}, print, coroutine.create(function() end) end\n"
         "function param6() return nil, nil, nil, nil end\n"
         "function param7() return 'seven', '1e400', '-0x10', ' 5 ' end\n"
         "function default_size() return '12', {} end\n"
         "function use_base() return newproxy() end\n";
}

// Ten labels of 4 MiB each, made fast by doubling.
std::string HugeLabels() {
  std::string s;
  for (int k = 1; k <= 10; ++k) {
    s += "function param" + std::to_string(k) +
         "() local s = 'L' for i = 1, 22 do s = s .. s end return s, 0, 1, 0 end\n";
  }
  return s;
}

// Bodies of the error values, each raised from wherever it runs.
constexpr const char* kErrorTable = "error({})";
constexpr const char* kErrorNil = "error(nil)";
constexpr const char* kErrorHuge =
    "HOSTILE_E = HOSTILE_E or string.rep('E', 2 ^ 20)\nerror(HOSTILE_E, 0)";
constexpr const char* kErrorNotUtf8 = "error('\\255\\254\\1\\27[31m \"quoted\" \\\\', 0)";
constexpr const char* kErrorZeroByte = "error('before\\0after', 0)";
constexpr const char* kErrorLoopingTostring =
    "error(setmetatable({}, {__tostring = function() while true do end end}))";
constexpr const char* kErrorThread = "error(coroutine.create(function() end))";

// --- the table ------------------------------------------------------------------------------

const TCase kCases[] = {
    // Endless loops, and loops after the script switched the count hook off or replaced it.
    {"loop", "loop.bs", nullptr, kEverywhere, "0.5", 0, kStopLua, kStopLua},
    {"hooks_cleared", "hooks_cleared.bs", nullptr, kEverywhere, "0.5", 0, kStopAny, kStopAny},
    {"hooks_replaced", "hooks_replaced.bs", nullptr, kEverywhere, "0.5", 0, kStopAny, kStopAny},
    // A main chunk that clears the hooks does not keep the host's hook off in later calls.
    {"hooks_cleared_before_main", "debug.sethook()\nfunction main() while true do end end\n",
     nullptr, kWholeFile, "0.5", 0, kNone,
     "the script was stopped: it ran longer than the {s} s allowed for the repaint (in main, "
     "line "},
    // A stop in discovery drops what the questions before it answered.
    {"stop_drops_answers",
     "function param1() return 'a', 0, 10, 5 end\nfunction param2() while true do end end\n"
     "function param3() return 'c', 0, 10, 5 end\n",
     nullptr, kWholeFile, "0.5", 0,
     "the script was stopped: it ran longer than the {s} s allowed for parameter discovery (in "
     "param2, line ",
     "the script was stopped: it ran longer than the {s} s allowed for parameter discovery (in "
     "param2, line ",
     false, nullptr, 0},
    // The stop caught by pcall and xpcall; loops inside coroutines, with and without the hook.
    {"stop_swallowed", "stop_swallowed.bs", nullptr, kChunkParamMain, "0.5", 0, kStopLua, kStopLua},
    {"coroutine_loop", "coroutine_loop.bs", nullptr, kChunkParamMain, "0.5", 0, kStopLua, kStopLua},
    {"coroutine_unhooked", "coroutine_unhooked.bs", nullptr, kChunkParamMain, "0.5", 0, kStopAny,
     kStopAny},
    // Finalizers that call into the host when it closes the interpreter.
    {"finalizer_host", "finalizer_host.bs", nullptr, kEverywhere, "5", 0, kNone, kNone},
    // Loops the count hook cannot reach.
    {"loop_in_hook", "loop_in_hook.bs", nullptr, kEverywhere, "0.5", 0, kStopStuck, kStopStuck},
    {"loop_in_finalizer", "loop_in_finalizer.bs", nullptr, kEverywhere, "0.5", 0, kStopStuck,
     kStopStuck},
    {"backtracking", "backtracking.bs", nullptr, kEverywhere, "0.5", 0, kStopStuck, kStopStuck},
    {"string_rep", "string_rep.bs", nullptr, kChunkParamMainLast, "0.5", 0, kStopStuck, kStopStuck},
    // Memory exhaustion: the interpreter's own error, swallowed where errors are.
    {"memory_tables", "memory_tables.bs", nullptr, kChunkParamMainLast, "5", 4, "not enough memory",
     kNone},
    {"memory_strings", "memory_strings.bs", nullptr, kChunkParamMainLast, "5", 4,
     "not enough memory", kNone},
    {"memory_debug", "memory_debug.bs", nullptr, kChunkParamMain, "0.5", 0, kStopLua, kStopLua,
     true},
    {"memory_polygon", "memory_polygon.bs", nullptr, kChunkParamMain, "0.5", 0, kStopLua, kStopLua},
    {"memory_bezier", "memory_bezier.bs", nullptr, kChunkParamMain, "0.5", 0, kStopLua, kStopLua},
    // Deep recursion.
    {"deep_lua", "deep_lua.bs", nullptr, kChunkParamMainLast, "5", 0, "stack overflow", kNone},
    {"deep_coroutine", "deep_coroutine.bs", nullptr, kChunkParamMainLast, "5", 0,
     "C stack overflow", kNone},
    {"deep_pattern", "deep_pattern.bs", nullptr, kChunkParamMainLast, "5", 0, "pattern too complex",
     kNone},
    // Odd files.
    // Every question of discovery loads the script afresh: 40 MiB may not fit the budget.
    {"huge_comment", nullptr, HugeComment, kWholeFile, "2", 0, kAny, kAny},
    {"huge_statements", nullptr, HugeStatements, kWholeFile, "2", 0, kAny, kAny},
    {"huge_string", nullptr, HugeString, kWholeFile, "2", 0, kAny, kAny},
    {"deep_nesting", nullptr, DeepNesting, kWholeFile, "2", 0, "chunk has too many syntax levels",
     "chunk has too many syntax levels"},
    {"long_elseif", nullptr, LongElseif, kWholeFile, "0.5", 0, kStopStuck, kStopStuck},
    {"binary_garbage", nullptr, BinaryGarbage, kWholeFile, "2", 0, kFailed, kFailed},
    {"lone_bom", nullptr, LoneBom, kWholeFile, "2", 0, kFailed, kFailed},
    {"bom_before_script", nullptr, BomBeforeScript, kWholeFile, "2", 0, kFailed, kFailed},
    // The script's text ends at its first zero byte.
    {"zero_bytes", nullptr, ZeroBytes, kWholeFile, "2", 0, kNone, kNone},
    {"zero_in_script", nullptr, ZeroInScript, kWholeFile, "2", 0, kNone, kNone, false, nullptr, 1},
    {"empty_file", nullptr, EmptyFile, kWholeFile, "2", 0, kNone, kNone},
    // The script loading itself again and again, through C (dofile) and through Lua calls.
    {"self_dofile", "dofile('hostile.bs')\n", nullptr, kWholeFile, "2", 0, kFailed, kFailed},
    {"self_loadfile", "local f = loadfile('hostile.bs')\nif f then f() end\n", nullptr, kWholeFile,
     "2", 0, kFailed, kFailed},
    // Precompiled chunks: the script file itself, and what it hands to loadstring and load.
    {"bytecode_file", nullptr, BytecodeFile, kWholeFile, "2", 0,
     "precompiled chunks are not accepted", "precompiled chunks are not accepted"},
    {"bytecode_loaded", "precompiled.bs", nullptr, kEverywhere, "0.5", 0,
     "precompiled chunks are not accepted", kNone},
    // Numbers the host must survive, as arguments and as answers.
    {"nonfinite_args", "nonfinite_args.bs", nullptr, kChunkParamMainLast, "5", 0, kNone, kNone},
    {"random_args", "random_args.bs", nullptr, kChunkParamMain, "5", 0, kNone, kNone},
    {"sort_random", "sort_random.bs", nullptr, kChunkParamMain, "5", 0, kNone, kNone},
    {"arg_counts", "arg_counts.bs", nullptr, kChunkParamMainLast, "5", 0, kNone, kNone},
    {"nonfinite_results_0", nullptr, NonFiniteResults0, kWholeFile, "2", 0, kNone, kNone, false,
     nullptr, 10},
    {"nonfinite_results_1", nullptr, NonFiniteResults1, kWholeFile, "2", 0, kNone, kNone, false,
     nullptr, 10},
    {"nonfinite_results_2", nullptr, NonFiniteResults2, kWholeFile, "2", 0, kNone, kNone, false,
     nullptr, 10},
    {"huge_labels", nullptr, HugeLabels, kWholeFile, "5", 0, kNone, kNone, false, nullptr, 10},
    {"odd_callables", "odd_callables.bs", nullptr, kWholeFile, "2", 0, kNone, kNone, false, nullptr,
     6},
    {"odd_labels", nullptr, OddLabels, kWholeFile, "2", 0, kNone, kNone, false, nullptr, 7},
    // Error values; one without text fails the load with a message all the same.
    {"error_table", kErrorTable, nullptr, kChunkParamMainLast, "2", 0,
     "(error object is a table value)", kNone},
    {"error_nil", kErrorNil, nullptr, kChunkParamMainLast, "2", 0, "(error object is a nil value)",
     kNone},
    {"error_huge", kErrorHuge, nullptr, kChunkParamMainLast, "5", 0, "EEEEEEEE", kNone},
    {"error_not_utf8", kErrorNotUtf8, nullptr, kChunkParamMainLast, "2", 0, "quoted", kNone},
    {"error_looping_tostring", kErrorLoopingTostring, nullptr, kChunkParamMainLast, "0.5", 0,
     "(error object is a table value)", kNone},
    {"error_thread", kErrorThread, nullptr, kChunkParamMainLast, "2", 0,
     "(error object is a thread value)", kNone},
    {"error_zero_byte", kErrorZeroByte, nullptr, kChunkParamMainLast, "2", 0, "before", kNone},
    // Tampering with the globals, environments, the registry and the host's values.
    {"globals_metatable", "globals_metatable.bs", nullptr, kEverywhere, "0.5", 0, kAny, kAny},
    {"setfenv", "setfenv.bs", nullptr, kEverywhere, "0.5", 0, kAny, kAny},
    {"debug_registry", "debug_registry.bs", nullptr, kEverywhere, "5", 0, kAny, kAny},
    {"debug_host_values", "debug_host_values.bs", nullptr, kEverywhere, "0.5", 0, kAny, kAny},
    // Output and input.
    {"print_flood", "print_flood.bs", nullptr, kChunkParamMain, "0.5", 0, kStopLua, kStopLua},
    // A second of flooding: more text than the log keeps.
    {"print_flood_logged", "print_flood.bs", nullptr, kChunkParamMain, "1", 0, kStopLua, kStopLua,
     true},
    // Without --log print has nowhere to go and converts nothing, so the loop never runs.
    {"print_looping_tostring", "print_tostring.bs", nullptr, kChunkParamMain, "0.5", 0, kNone,
     kNone, true},
    {"stdin", "stdin.bs", nullptr, kEverywhere, "0.5", 0, "standard input refused", kNone},
};

// --- the test -------------------------------------------------------------------------------

struct TItem {
  const TCase* c;
  const TPlace* p;
};

void PrintTo(const TItem& item, std::ostream* os) { *os << item.c->name << " in " << item.p->name; }

std::vector<TItem> Items() {
  std::vector<TItem> items;
  for (const TCase& c : kCases) {
    for (EPlace place : c.places) items.push_back({&c, &PlaceOf(place)});
  }
  return items;
}

std::string ScriptText(const TCase& c, const TPlace& p) {
  if (c.make != nullptr) return c.make();
  std::string body = c.body;
  if (body.size() > 3 && body.compare(body.size() - 3, 3, ".bs") == 0) {
    body = ReadFile(std::string(QUARNEL_SOURCE_DIR "/tests/hostile/scripts/") + body);
  }
  return p.head + body + p.tail;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

bool IsStop(const char* e) { return e != nullptr && std::string(e).find("stopped") == 0; }

// The status a run of the given kind must give.
const char* Expected(const TCase& c, const TPlace& p, bool render) {
  if (p.place == EPlace::kWhole) return render ? c.inFunction : c.inChunk;
  if (p.repaint && !render) return kNone;  // the main chunk itself is harmless
  return p.place == EPlace::kChunk ? c.inChunk : c.inFunction;
}

double Budget(const TCase& c) { return std::stod(c.budget) * kSlowdown; }

// The budget as the command line gives it and the stop message shows it.
std::string BudgetText(const TCase& c) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", Budget(c));
  return text;
}

std::string Expand(const char* e, const TCase& c, const TPlace& p) {
  std::string text = Replace(e, "{job}", p.repaint ? "the repaint" : "parameter discovery");
  text = Replace(text, "{in}", p.where);
  return Replace(text, "{s}", BudgetText(c));
}

// statuses: the texts given (none when the script loaded and painted without a stop).
void ExpectStatus(const std::vector<std::string>& statuses, const char* e, const TCase& c,
                  const TPlace& p) {
  if (e == kAny) return;
  if (*e == '\0') {
    EXPECT_TRUE(statuses.empty()) << "unexpected status: " << statuses.front().substr(0, 400);
    return;
  }
  ASSERT_FALSE(statuses.empty()) << "no status, expected " << e;
  if (std::string(e) == kFailed) return;
  const std::string want = Expand(e, c, p);
  bool found = false;
  for (const std::string& s : statuses) found = found || s.find(want) != std::string::npos;
  EXPECT_TRUE(found) << "status: " << statuses.front().substr(0, 400) << "\nexpected: " << want;
}

// The "status: " lines of standard error.
std::vector<std::string> StatusLines(const std::string& err) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < err.size()) {
    size_t end = err.find('\n', at);
    if (end == std::string::npos) end = err.size();
    if (err.compare(at, 8, "status: ") == 0) lines.push_back(err.substr(at + 8, end - at - 8));
    at = end + 1;
  }
  return lines;
}

void ExpectClean(const TOutcome& o, double bound) {
  EXPECT_FALSE(o.hung) << "still running after " << kWatchdog << " s";
  EXPECT_FALSE(o.leftBehind) << "a process of the run outlived it";
  EXPECT_EQ(o.status, 0) << o.err.substr(0, 2000);
  EXPECT_LE(o.seconds, bound);
  EXPECT_EQ(o.out.find(kMarker), std::string::npos) << "the script's print reached stdout";
  EXPECT_EQ(o.err.find(kMarker), std::string::npos) << "the script's print reached stderr";
  // Nothing may crash, the worker included, nor trip the sanitizers.
  for (const char* crash : {"broke the interpreter", "terminate called", "AddressSanitizer",
                            "LeakSanitizer", "runtime error:"}) {
    EXPECT_EQ(o.err.find(crash), std::string::npos) << o.err.substr(0, 2000);
  }
}

class HostileTest : public ::testing::TestWithParam<TItem> {};

TEST_P(HostileTest, EndsInTimeWithCleanOutput) {
  const TCase& c = *GetParam().c;
  const TPlace& p = *GetParam().p;
  CTempDir dir;
  WriteFile(dir.path() / "hostile.bs", ScriptText(c, p));
  ASSERT_EQ(mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
  WriteFile(dir.path() / "bytecode.luac", BytecodeFile());
  const std::string script = c.path != nullptr ? c.path : "hostile.bs";
  std::vector<std::string> limits = {"--time-limit", BudgetText(c)};
  if (c.memoryMiB > 0) {
    limits.push_back("--memory-limit");
    limits.push_back(std::to_string(c.memoryMiB));
  }
  const auto with = [&](std::vector<std::string> args) {
    args.insert(args.begin(), limits.begin(), limits.end());
    args.push_back(script);
    return args;
  };
  const std::vector<std::string> size = {"--width", std::to_string(kWidth), "--height",
                                         std::to_string(kHeight)};
  std::vector<std::string> renderArgs = size;
  // The PNG goes to standard output, where a stray byte of the script's would spoil it.
  renderArgs.insert(renderArgs.end(), {"-o", "-"});

  // Discovery and the render run side by side.
  CRun discoverRun(with({"--discover"}), dir.path(), "discover");
  CRun renderRun(with(renderArgs), dir.path(), "render");
  const TOutcome discovered = discoverRun.Wait();
  const TOutcome rendered = renderRun.Wait();

  // What stopped the script and how long each run took, for the record (--gtest_output=xml).
  const std::vector<std::string> renderStatuses = StatusLines(rendered.err);
  RecordProperty("discover_seconds", std::to_string(discovered.seconds));
  RecordProperty("render_seconds", std::to_string(rendered.seconds));
  RecordProperty("render_status",
                 renderStatuses.empty() ? "OK" : renderStatuses.front().substr(0, 300));

  const double budget = Budget(c);
  const char* renderStatus = Expected(c, p, true);
  {
    SCOPED_TRACE("--discover");
    ExpectClean(discovered, budget + kMargin);
    EXPECT_TRUE(ValidUtf8(discovered.out)) << "the JSON is not UTF-8";
    TJson json;
    ASSERT_TRUE(ParseJson(discovered.out, json))
        << "not strict JSON: " << discovered.out.substr(0, 2000);
    const TJson* status = json.Find("status");
    ASSERT_TRUE(status != nullptr && status->kind == TJson::kString);
    std::vector<std::string> statuses;
    if (status->text != "OK") statuses.push_back(status->text);
    RecordProperty("discover_status", status->text.substr(0, 300));
    ExpectStatus(statuses, Expected(c, p, false), c, p);
    // Labels are the host's to keep: bounded, whatever the script answers.
    if (const TJson* params = json.Find("params")) {
      for (const TJson& param : params->items) {
        const TJson* label = param.Find("label");
        ASSERT_NE(label, nullptr);
        EXPECT_LE(label->text.size(), kLabelCap);
      }
    }
    if (c.params >= 0) {
      const TJson* count = json.Find("count");
      ASSERT_NE(count, nullptr);
      EXPECT_EQ(count->number, c.params);
    }
  }
  {
    SCOPED_TRACE("render");
    // A job stopped by the budget leaves the other quick: a stopped discovery is not run
    // again by the repaint, a stop in the repaint follows a harmless main chunk.
    ExpectClean(rendered, (IsStop(renderStatus) ? 1 : 2) * budget + kMargin);
    ExpectStatus(renderStatuses, renderStatus, c, p);
    const render_test::TPng png = render_test::DecodePng(rendered.out);
    ASSERT_TRUE(png.ok) << png.error;
    const std::string iend("\0\0\0\0IEND\xae\x42\x60\x82", 12);  // nothing after the end
    EXPECT_TRUE(rendered.out.size() >= 12 &&
                rendered.out.compare(rendered.out.size() - 12, 12, iend) == 0);
    EXPECT_EQ(png.width, static_cast<uint32_t>(kWidth));
    EXPECT_EQ(png.height, static_cast<uint32_t>(kHeight));
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.colourType, 6);  // RGBA
  }
  if (c.log) {
    SCOPED_TRACE("render --log");
    std::vector<std::string> logArgs = size;
    logArgs.insert(logArgs.end(), {"--log", "-o", "logged.png"});
    CRun logRun(with(logArgs), dir.path(), "log");
    const TOutcome logged = logRun.Wait();
    EXPECT_FALSE(logged.hung);
    EXPECT_EQ(logged.status, 0);
    EXPECT_LE(logged.seconds, (IsStop(renderStatus) ? 1 : 2) * budget + kMargin);
    EXPECT_TRUE(logged.out.empty()) << logged.out.substr(0, 400);
    EXPECT_LE(logged.err.size(), kLogCap) << "the log is not bounded";
    EXPECT_TRUE(render_test::DecodePng(ReadFile(dir.path() / "logged.png")).ok);
  }
}

INSTANTIATE_TEST_SUITE_P(Scripts, HostileTest, ::testing::ValuesIn(Items()),
                         [](const ::testing::TestParamInfo<TItem>& info) {
                           return std::string(info.param.c->name) + "_" + info.param.p->name;
                         });

// --- script files that are no files --------------------------------------------------------

// A pipe, a device or a folder given as the script is input the renderer cannot read: it is
// refused at once (never opened, so a pipe without a writer cannot block it), with exit
// status 1, one line naming it, and nothing on standard output.
TEST(HostileFileTest, ScriptsThatAreNoFilesAreRefusedAtOnce) {
  CTempDir dir;
  ASSERT_EQ(mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
  const struct {
    const char* script;
    const char* reason;
  } cases[] = {
      {"fifo", "not a regular file"},
      {"/dev/zero", "not a regular file"},
      {".", "Is a directory"},
  };
  for (const auto& c : cases) {
    for (const bool discover : {true, false}) {
      SCOPED_TRACE(std::string(c.script) + (discover ? " --discover" : " render"));
      std::vector<std::string> args = {"--time-limit", "0.5", "-o", "-", c.script};
      if (discover) args.insert(args.begin(), "--discover");
      CRun run(args, dir.path(), "file");
      const TOutcome o = run.Wait();
      EXPECT_FALSE(o.hung);
      EXPECT_FALSE(o.leftBehind);
      EXPECT_EQ(o.status, 1);
      EXPECT_LE(o.seconds, kMargin);
      EXPECT_TRUE(o.out.empty());
      EXPECT_EQ(o.err,
                std::string("quarnel-render: cannot read '") + c.script + "': " + c.reason + "\n");
    }
  }
}

// --- what a stop leaves in the preview ---------------------------------------------------------

// A script stopped in the repaint against one that paints the same and ends there: a stop by
// the count hook keeps what was painted before it, a worker killed in a C call leaves the
// crosses of a script that fails to load. No reference is blank: a stop that
// lost the dabs, or crosses where dabs should stay, differs from it.
// A dot per dab for 150 dabs, then `after`; `head` comes before main.
std::string Dabs(const char* head, const char* after) {
  return std::string(head) + "function main(x, y, p)\nN = (N or 0) + 1\nif N > 150 then " + after +
         " end\nbs_ellipse(x, y, 8, 8, 0, 0, 0, 0, 255)\nend\n";
}

struct TPaintCase {
  const char* name;
  std::string hostile;
  std::string reference;
  const char* status;  // in the hostile render's status
};

const TPaintCase kPaintCases[] = {
    {"loop_in_main", Dabs("", "while true do end"), Dabs("", "return"),
     "allowed for the repaint (in main, line 3)"},
    {"loop_in_main_coverage", Dabs("bs_setmode(1)\n", "while true do end"),
     Dabs("bs_setmode(1)\n", "return"), "allowed for the repaint (in main, line 4)"},
    {"loop_in_last", Dabs("function last() while true do end end\n", "return"), Dabs("", "return"),
     "allowed for the repaint (in last, line 1)"},
    {"c_call_in_main", Dabs("", "string.find(string.rep('a', 40), string.rep('a*', 40) .. 'b')"),
     Dabs("error('fails to load')\n", "return"),
     "allowed for the repaint, inside a call that cannot be interrupted"},
};

void PrintTo(const TPaintCase& c, std::ostream* os) { *os << c.name; }

class HostilePaintTest : public ::testing::TestWithParam<TPaintCase> {};

TEST_P(HostilePaintTest, StopLeavesWhatAFinishedScriptWould) {
  const TPaintCase& c = GetParam();
  CTempDir dir;
  WriteFile(dir.path() / "hostile.bs", c.hostile);
  WriteFile(dir.path() / "reference.bs", c.reference);
  char budget[32];
  std::snprintf(budget, sizeof budget, "%g", 0.5 * kSlowdown);
  const auto args = [&](const std::string& script) {
    return std::vector<std::string>{
        "--time-limit",          budget, "--width",       std::to_string(kWidth), "--height",
        std::to_string(kHeight), "-o",   script + ".png", script + ".bs"};
  };
  CRun hostileRun(args("hostile"), dir.path(), "hostile");
  CRun referenceRun(args("reference"), dir.path(), "reference");
  const TOutcome hostile = hostileRun.Wait();
  const TOutcome reference = referenceRun.Wait();
  ExpectClean(hostile, 0.5 * kSlowdown + kMargin);
  EXPECT_EQ(reference.status, 0);
  const std::vector<std::string> statuses = StatusLines(hostile.err);
  ASSERT_FALSE(statuses.empty());
  EXPECT_NE(statuses.front().find(c.status), std::string::npos) << statuses.front();
  const render_test::TPng a = render_test::DecodePng(ReadFile(dir.path() / "hostile.png"));
  const render_test::TPng b = render_test::DecodePng(ReadFile(dir.path() / "reference.png"));
  ASSERT_TRUE(a.ok && b.ok);
  EXPECT_TRUE(a.rgba == b.rgba) << "the stopped script's preview differs from the reference";
}

INSTANTIATE_TEST_SUITE_P(Stops, HostilePaintTest, ::testing::ValuesIn(kPaintCases),
                         [](const ::testing::TestParamInfo<TPaintCase>& info) {
                           return std::string(info.param.name);
                         });

// --- a renderer that dies --------------------------------------------------------------------

// The renderer killed while its worker is stuck in a C call: the worker must not outlive the
// budget (it would spin on for ever, reparented, with nobody left to kill it).
TEST(HostileOrphanTest, WorkerEndsWhenTheRendererDies) {
  CTempDir dir;
  WriteFile(dir.path() / "hostile.bs",
            "string.find(string.rep('a', 40), string.rep('a*', 40) .. 'b')\n");
  char budget[32];
  std::snprintf(budget, sizeof budget, "%g", 0.5 * kSlowdown);
  CRun run({"--time-limit", budget, "--discover", "hostile.bs"}, dir.path(), "orphan");
  // Long enough for the worker to be running the pattern, well before the budget runs out.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  ASSERT_TRUE(run.KillLeader());
  const TOutcome o = run.Wait(0.5 * kSlowdown + kMargin);
  EXPECT_FALSE(o.leftBehind) << "the worker was still running " << 0.5 * kSlowdown + kMargin
                             << " s after its renderer died";
}

}  // namespace
