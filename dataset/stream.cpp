#include "dataset/stream.h"

#include <algorithm>
#include <cstring>

#include "dataset/errors.h"

namespace vantor {

std::vector<uint8_t> TStream::ReadAll() {
  const int64_t remaining = std::max<int64_t>(0, Size() - Position());
  std::vector<uint8_t> out(static_cast<size_t>(remaining));
  if (remaining) out.resize(static_cast<size_t>(Read(out.data(), remaining)));
  return out;
}

void TStream::WriteAll(const void* buffer, int64_t count) {
  if (Write(buffer, count) != count) throw Exception("Stream write error");
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, Size() - pos_));
  if (n > 0) std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (pos_ + count > Size()) data_.resize(static_cast<size_t>(pos_ + count));
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos_ : Size();
  pos_ = std::max<int64_t>(0, base + offset);
  return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
  pos_ = std::min(pos_, Size());
}

}  // namespace vantor
