// Runs an installed program (a validator, a linter) on files of the source tree and reads
// what it printed. Tests whose program is not installed skip with the Debian package to
// install; scripts/bootstrap installs them all.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tool_test {

inline std::string SourcePath(const std::string& relative) {
  return std::string(QUARNEL_SOURCE_DIR) + "/" + relative;
}

inline std::string ReadSource(const std::string& relative) {
  std::ifstream in(SourcePath(relative), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// True when an executable of that name is on PATH.
inline bool HaveTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    struct stat st {};
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return true;
    }
  }
  return false;
}

struct TToolRun {
  int status = -1;     // exit status, or -1 when the program did not exit normally
  std::string output;  // standard output and standard error, interleaved
};

// Runs args[0] (looked up on PATH) with standard input empty.
inline TToolRun RunTool(const std::vector<std::string>& args) {
  TToolRun run;
  int ends[2];
  if (args.empty() || pipe(ends) != 0) return run;
  const pid_t pid = fork();
  if (pid == 0) {
    close(ends[0]);
    dup2(ends[1], 1);
    dup2(ends[1], 2);
    close(ends[1]);
    std::freopen("/dev/null", "r", stdin);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(ends[1]);
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(ends[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    run.output.append(buffer, static_cast<size_t>(n));
  }
  close(ends[0]);
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) {
    run.status = WEXITSTATUS(wstatus);
  }
  return run;
}

}  // namespace tool_test
