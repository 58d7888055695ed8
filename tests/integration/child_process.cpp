#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
  envStrings.insert(envStrings.end(), env.begin(), env.end());
  std::vector<char*> cargv, cenv;
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  for (const auto& e : envStrings) cenv.push_back(const_cast<char*>(e.c_str()));
  cenv.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    dup2(fds[1], STDOUT_FILENO);
    // Programs the child starts in turn (a target program started by the updater
    // keeps running) must not hold the test runner's own output open.
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, STDIN_FILENO);
      dup2(devnull, STDERR_FILENO);
    }
    // Its own process group, so a signal reaches what it started too (wine).
    setpgid(0, 0);
    execve(cargv[0], cargv.data(), cenv.data());
    _exit(127);
  }
  close(fds[1]);
  out_ = fds[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    Signal(SIGKILL);
    Wait(5000);
  }
  if (out_ >= 0) close(out_);
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      line = buffer_.substr(0, nl);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      buffer_.erase(0, nl + 1);
      lines_.push_back(line);
      return true;
    }
    if (eof_ || out_ < 0) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[4096];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) {
      eof_ = true;
    } else {
      buffer_.append(buf, static_cast<size_t>(n));
    }
  }
}

bool ChildProcess::WaitForLine(const std::string& prefix, std::string& line, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0 || !ReadLine(line, static_cast<int>(left))) return false;
    if (line.compare(0, prefix.size(), prefix) == 0) return true;
  }
}

void ChildProcess::Signal(int sig) {
  if (pid_ > 0 && !reaped_) kill(-pid_, sig);
}

int ChildProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!reaped_) {
    const pid_t r = waitpid(pid_, &status_, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, &status_, 0);
      reaped_ = true;
      return -1;
    }
    // Keep the pipe drained so the child never blocks writing.
    std::string line;
    ReadLine(line, 10);
  }
  std::string rest;
  while (ReadLine(rest, 200)) {
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}
