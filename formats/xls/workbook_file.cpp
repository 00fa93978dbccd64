#include "formats/xls/workbook_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "formats/storage.h"
#include "formats/xls/compound_file_writer.h"
#include "formats/xls/legacy_worksheet_reader.h"
#include "formats/xls/workbook_reader.h"
#include "formats/xls/workbook_writer.h"

namespace vantor::formats::xls {

WorkbookFile ParseWorkbookFile(std::span<const uint8_t> bytes) {
  if (!CompoundFile::HasSignature(bytes)) {
    if (bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K')
      throw StorageError("not an .xls workbook: this is an Office Open XML (.xlsx) file");
    // A bare BIFF2-BIFF4 stream starts with its BOF record (0x0009, 0x0209, 0x0409).
    if (IsLegacyWorksheet(bytes)) {
      WorkbookFile file;
      file.book = ReadLegacyWorksheet(bytes);
      return file;
    }
    throw StorageError("not an Excel workbook (no compound file signature)");
  }
  CompoundFile cf = CompoundFile::Parse(bytes);
  WorkbookFile file;
  file.entries = cf.Entries();
  int index = cf.FindInRoot(u"Workbook");
  if (index < 0) index = cf.FindInRoot(u"Book");
  if (index < 0) throw StorageError("not an Excel workbook: the compound file has no Workbook stream");
  file.workbook_entry = static_cast<size_t>(index);
  if (file.entries[file.workbook_entry].type != DirectoryEntry::kStream)
    throw StorageError("damaged workbook: the Workbook entry is not a stream");
  // Streams share no sectors, so together they cannot be larger than the file.
  uint64_t total = 0;
  for (const DirectoryEntry& e : file.entries)
    if (e.type == DirectoryEntry::kStream) total += e.size;
  if (total > bytes.size()) throw StorageError("damaged compound file: its streams are larger than the file");
  file.streams.resize(file.entries.size());
  for (size_t i = 1; i < file.entries.size(); ++i)
    if (i != file.workbook_entry && file.entries[i].type == DirectoryEntry::kStream) file.streams[i] = cf.ReadStream(i);
  auto stream = std::make_shared<const std::vector<uint8_t>>(cf.ReadStream(file.workbook_entry));
  file.book = ReadWorkbookStream(std::move(stream));
  return file;
}

WorkbookFile ReadWorkbookFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) throw StorageError("file not found: " + path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw StorageError("cannot open " + path + ": " + std::strerror(errno));
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw StorageError("cannot read " + path);
  try {
    return ParseWorkbookFile(bytes);
  } catch (const StorageError& e) {
    throw StorageError(path + ": " + e.what());
  }
}

WorkbookFile NewWorkbookFile() {
  WorkbookFile file;
  file.entries = SingleStreamDirectory(u"Workbook");
  file.streams.resize(file.entries.size());
  file.workbook_entry = 1;
  file.book = NewWorkbook();
  return file;
}

std::vector<uint8_t> BuildWorkbookFile(const WorkbookFile& file) { return BuildWorkbookFile(file, file.book); }

std::vector<uint8_t> BuildWorkbookFile(const WorkbookFile& file, const Workbook& book) {
  std::vector<std::vector<uint8_t>> streams = file.streams;
  streams.resize(file.entries.size());
  streams[file.workbook_entry] = SerializeWorkbook(book);
  std::vector<DirectoryEntry> entries = file.entries;
  entries[file.workbook_entry].name = u"Workbook";
  return WriteCompoundFile(std::move(entries), streams);
}

void ReplaceFile(const std::string& path, std::span<const uint8_t> bytes) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) throw StorageError("cannot create a temporary file beside " + path + ": " + std::strerror(errno));
  auto fail = [&](const char* what) {
    const std::string reason = std::strerror(errno);
    ::close(fd);
    ::unlink(temp.c_str());
    throw StorageError(std::string("cannot save ") + path + ": " + what + ": " + reason);
  };
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("write failed");
    }
    done += static_cast<size_t>(n);
  }
  // Keep the old file's permissions.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
  else ::fchmod(fd, 0644);
  if (::fsync(fd) != 0) fail("flush failed");
  if (::close(fd) != 0) {
    ::unlink(temp.c_str());
    throw StorageError("cannot save " + path + ": close failed");
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    ::unlink(temp.c_str());
    throw StorageError("cannot save " + path + ": " + reason);
  }
  // The rename itself is durable once the folder is flushed.
  const int dir_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);
    ::close(dir_fd);
  }
}

}  // namespace vantor::formats::xls
