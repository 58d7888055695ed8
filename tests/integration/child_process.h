// A child process for the integration tests: started with its stdout on a pipe,
// read line by line with a time limit, and ended by its process id.
#pragma once

#include <signal.h>
#include <string>
#include <vector>

class ChildProcess {
 public:
  // Starts `argv` (argv[0] is the program path) with `env` added to the environment.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // The next line of output (without its line end), or false after `timeoutMs` or at
  // the end of the output.
  bool ReadLine(std::string& line, int timeoutMs);
  // Reads lines until one starts with `prefix`; false on time-out or end.
  bool WaitForLine(const std::string& prefix, std::string& line, int timeoutMs);
  void Signal(int sig);
  // Waits for the process to end; its exit code, or -1 on a time-out (it is then
  // killed) or when a signal ended it.
  int Wait(int timeoutMs);
  // Every line read so far.
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
  bool eof_ = false;
  bool reaped_ = false;
  int status_ = 0;
  std::vector<std::string> lines_;
};
