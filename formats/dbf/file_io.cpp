#include "formats/dbf/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "formats/storage.h"

namespace vantor::formats::dbf {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw StorageError(what + " '" + path + "': " + std::strerror(errno));
}

}  // namespace

File::File(const std::string& path, Mode mode) : path_(path) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead: flags |= O_RDONLY; break;
    case Mode::kReadWrite: flags |= O_RDWR; break;
    case Mode::kCreate: flags |= O_RDWR | O_CREAT | O_EXCL; break;
  }
  fd_ = ::open(path.c_str(), flags, 0644);
  if (fd_ < 0) Fail("cannot open", path);
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw StorageError("'" + path + "' is a directory, not a file");
  }
}

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

void File::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

uint64_t File::Size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Fail("cannot read the size of", path_);
  return static_cast<uint64_t>(st.st_size);
}

size_t File::ReadAt(uint64_t offset, char* buffer, size_t size) const {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot read", path_);
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void File::ReadExactly(uint64_t offset, char* buffer, size_t size, const char* what) const {
  if (ReadAt(offset, buffer, size) != size)
    throw StorageError("'" + path_ + "' is damaged: it ends inside " + what);
}

void File::WriteAt(uint64_t offset, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write", path_);
    }
    done += static_cast<size_t>(n);
  }
}

void File::Truncate(uint64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) Fail("cannot truncate", path_);
}

void File::Sync() {
  if (::fsync(fd_) != 0) Fail("cannot flush", path_);
}

bool PathExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

void ReplaceFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) Fail("cannot replace", to);
  const std::string dir = std::filesystem::path(to).parent_path().string();
  int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

void RemoveFileIfExists(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) Fail("cannot delete", path);
}

}  // namespace vantor::formats::dbf
