#include "runner/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace runner {

namespace {

// The temporary being written, for a signal that ends the process midway.
// Points into a string that lives until the replacement is over.
const char* volatile g_temporaryInProgress = nullptr;

std::string folderOf(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

std::string temporaryFor(const std::string& path) {
  const std::filesystem::path p(path);
  return (std::filesystem::path(folderOf(path)) / ("." + p.filename().string() + ".part-" + std::to_string(::getpid())))
      .string();
}

bool fail(std::string* why, const std::string& what, int error) {
  if (why != nullptr) *why = what + ": " + std::strerror(error);
  return false;
}

// Writes all of `bytes` to `fd`, through short writes and interruptions.
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Flushes the file's data to the medium and closes it; a disk that is full
// may only say so here.
bool syncAndClose(int fd) {
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;  // EINVAL: not syncable, nothing to lose
  const int syncError = errno;
  const bool closed = ::close(fd) == 0;
  if (!synced) errno = syncError;
  return synced && closed;
}

// A new file beside the target with some bytes in it, removed again.
bool probeFolder(const std::string& folder, std::string* why) {
  const std::string probe = (std::filesystem::path(folder) / (".vex2d-run-probe-" + std::to_string(::getpid()))).string();
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return fail(why, "cannot write in " + folder, errno);
  const std::string bytes(4096, '\0');
  const bool ok = writeAll(fd, bytes) && syncAndClose(fd);
  const int error = errno;
  ::unlink(probe.c_str());
  return ok || fail(why, "cannot write in " + folder, error);
}

}  // namespace

bool isSpecialFile(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool checkOutputFile(const std::string& path, std::string* why) {
  if (path.empty()) {
    if (why != nullptr) *why = "an output path is empty";
    return false;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    if (why != nullptr) *why = path + " is a folder, not a file";
    return false;
  }
  if (isSpecialFile(path)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return fail(why, "cannot write " + path, errno);
    ::close(fd);
    return true;
  }
  const std::string folder = folderOf(path);
  if (::stat(folder.c_str(), &st) != 0) return fail(why, "cannot write " + path + ": folder " + folder, errno);
  if (!S_ISDIR(st.st_mode)) {
    if (why != nullptr) *why = "cannot write " + path + ": " + folder + " is not a folder";
    return false;
  }
  return probeFolder(folder, why);
}

bool prepareOutputFolder(const std::string& dir, std::string* why) {
  if (dir.empty()) {
    if (why != nullptr) *why = "an output folder is empty";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    if (why != nullptr) *why = "cannot create the folder " + dir + ": " + ec.message();
    return false;
  }
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (why != nullptr) *why = dir + " is not a folder";
    return false;
  }
  return probeFolder(dir, why);
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* why) {
  if (isSpecialFile(path)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return fail(why, "cannot write " + path, errno);
    if (!writeAll(fd, bytes)) {
      const int error = errno;
      ::close(fd);
      return fail(why, "cannot write " + path, error);
    }
    return syncAndClose(fd) || fail(why, "cannot write " + path, errno);
  }
  return replaceFileAtomically(
      path,
      [bytes](const std::string& temporary) {
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        if (!writeAll(fd, bytes)) {
          const int error = errno;
          ::close(fd);
          errno = error;
          return false;
        }
        return syncAndClose(fd);
      },
      why);
}

bool replaceFileAtomically(const std::string& path, const std::function<bool(const std::string&)>& write,
                           std::string* why) {
  const std::string temporary = temporaryFor(path);
  g_temporaryInProgress = temporary.c_str();
  errno = 0;
  bool ok = write(temporary);
  if (ok) {
    // The writer closed its file; make sure its bytes reached the medium
    // before the name points at them.
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    ok = fd >= 0 && syncAndClose(fd);
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) == 0) {
    g_temporaryInProgress = nullptr;
    return true;
  }
  const int error = errno != 0 ? errno : EIO;
  ::unlink(temporary.c_str());
  g_temporaryInProgress = nullptr;
  return fail(why, "cannot write " + path, error);
}

void removeTemporaryInProgress() {
  if (const char* t = g_temporaryInProgress; t != nullptr) ::unlink(t);
}

}  // namespace runner
