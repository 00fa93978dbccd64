#pragma once
// A file opened by descriptor, with positioned reads and writes that throw StorageError naming the file.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantor::formats::dbf {

class File {
 public:
  enum class Mode { kRead, kReadWrite, kCreate };  // kCreate fails when the file exists

  File() = default;
  File(const std::string& path, Mode mode);
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool is_open() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  uint64_t Size() const;
  // Reads up to `size` bytes at `offset`; answers how many were read (fewer only at the end of the file).
  size_t ReadAt(uint64_t offset, char* buffer, size_t size) const;
  // Reads exactly `size` bytes or throws, saying `what` was being read.
  void ReadExactly(uint64_t offset, char* buffer, size_t size, const char* what) const;
  void WriteAt(uint64_t offset, std::string_view bytes);
  void Truncate(uint64_t size);
  void Sync();
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
};

// Whether a path exists (without following it into errors).
bool PathExists(const std::string& path);
// Renames `from` over `to` and flushes the directory, so the swap survives a crash.
void ReplaceFile(const std::string& from, const std::string& to);
void RemoveFileIfExists(const std::string& path);

}  // namespace vantor::formats::dbf
