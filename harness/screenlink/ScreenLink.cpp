#include "screenlink/ScreenLink.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "run/RunError.h"

namespace fs = std::filesystem;

namespace {

// How long a screen that has been told to stop may take over it.
constexpr auto kEndingGrace = std::chrono::seconds(5);

std::string Exited(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

}  // namespace

std::string ScreenProgramPath() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  fs::path beside = (error ? fs::path(".") : self.parent_path()) / kScreenProgram;
#if defined(QUORVAT_BUILT_SCREEN)
  // A test program of the build, which lives in a folder of its own.
  if (!fs::exists(beside, error)) beside = QUORVAT_BUILT_SCREEN;
#endif
  if (!fs::exists(beside, error)) {
    throw RunError(beside.string() +
                   " is missing: the pictures and the play window come from that 64-bit "
                   "program, which the build makes beside quorvat-sim with this machine's own "
                   "compiler, cairo and SDL2 (scripts/demo and scripts/play build it)");
  }
  return beside.string();
}

ScreenLink::ScreenLink(const std::vector<std::string>& args) : program_(ScreenProgramPath()) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    throw RunError(std::string("cannot make the stream to the screen: ") + std::strerror(errno));
  }
  // Everything the child needs is made before it exists: after fork it only
  // calls what is safe there.
  std::vector<std::string> all = {program_};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  static const char kNoExec[] = "quorvat-sim: cannot start the screen program\n";

  pid_ = fork();
  if (pid_ < 0) {
    int why = errno;
    close(ends[0]);
    close(ends[1]);
    throw RunError(std::string("cannot start ") + program_ + ": " + std::strerror(why));
  }
  if (pid_ == 0) {
    // dup2 onto itself would leave close-on-exec set.
    if (ends[1] == kScreenFd) {
      fcntl(kScreenFd, F_SETFD, 0);
    } else {
      dup2(ends[1], kScreenFd);
    }
    execv(argv[0], argv.data());
    ssize_t ignored = write(2, kNoExec, sizeof kNoExec - 1);
    (void)ignored;
    _exit(127);
  }
  close(ends[1]);
  fd_ = ends[0];
}

ScreenLink::~ScreenLink() {
  Close();
}

void ScreenLink::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (pid_ <= 0) return;
  auto deadline = std::chrono::steady_clock::now() + kEndingGrace;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
}

void ScreenLink::Broken(const std::string& what) {
  // Its own last words, if any, are on standard error already; how it ended
  // is said here.
  pid_t pid = pid_;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  std::string ending;
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  while (pid > 0 && std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      ending = " (" + Exited(status) + ")";
      pid_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  throw RunError("the screen (" + program_ + ") " + what + ending);
}

void ScreenLink::Lost() {
  // Its end closed, whichever way this side found out.
  if (errno == EPIPE || errno == ECONNRESET || errno == 0) Broken("has ended");
  Broken("can't be reached: " + std::string(std::strerror(errno)));
}

void ScreenLink::Send(uint32_t kind, const std::string& body) {
  if (fd_ < 0) Broken("is gone");
  std::string all;
  Append(all, MessageHead{kind, static_cast<uint32_t>(body.size())});
  all += body;
  size_t sent = 0;
  while (sent < all.size()) {
    // A screen that has gone is an error to report, not a signal that ends
    // the game before it can unload the module.
    ssize_t n = send(fd_, all.data() + sent, all.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Lost();
    sent += static_cast<size_t>(n);
  }
}

void ScreenLink::ReadFully(void* to, size_t count, int timeoutMs) {
  char* at = static_cast<char*>(to);
  size_t got = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got < count) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    pollfd ready{fd_, POLLIN, 0};
    int polled = left > 0 ? poll(&ready, 1, static_cast<int>(left)) : 0;
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) {
      Broken("has not answered in " + std::to_string(timeoutMs / 1000) + " s");
    }
    errno = 0;
    ssize_t n = read(fd_, at + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Lost();
    got += static_cast<size_t>(n);
  }
}

std::string ScreenLink::Receive(uint32_t kind, int timeoutMs) {
  if (fd_ < 0) Broken("is gone");
  MessageHead head{};
  ReadFully(&head, sizeof head, timeoutMs);
  if (head.kind != kind || head.bytes > kMaxMessageBytes) {
    Broken("answered with message " + std::to_string(head.kind) + " of " +
           std::to_string(head.bytes) + " bytes where " + std::to_string(kind) + " was due");
  }
  std::string body(head.bytes, '\0');
  if (!body.empty()) ReadFully(body.data(), body.size(), timeoutMs);
  return body;
}
