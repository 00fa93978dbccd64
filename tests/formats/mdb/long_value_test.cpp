#include "formats/mdb/long_value.h"

#include <gtest/gtest.h>

#include <map>

#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

// Jet 4 pages built in memory: rows are stored from the end of the page, offsets after the row count.
class MemoryPages : public PageSource {
 public:
  MemoryPages() { header_.page_count = 64; }
  void AddPage(uint32_t number, const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> page(header_.page_size, 0);
    page[0] = 0x01;
    page[12] = static_cast<uint8_t>(rows.size());
    size_t end = page.size();
    for (size_t i = 0; i < rows.size(); ++i) {
      const size_t start = end - rows[i].size();
      std::copy(rows[i].begin(), rows[i].end(), page.begin() + start);
      page[14 + i * 2] = static_cast<uint8_t>(start);
      page[15 + i * 2] = static_cast<uint8_t>(start >> 8);
      end = start;
    }
    pages_[number] = page;
  }
  std::span<const uint8_t> Read(uint32_t page) override {
    auto it = pages_.find(page);
    if (it == pages_.end()) throw StorageError("page outside the file");
    return it->second;
  }
  const AccessHeader& header() const override { return header_; }

 private:
  AccessHeader header_;
  std::map<uint32_t, std::vector<uint8_t>> pages_;
};

std::vector<uint8_t> Header(uint32_t length_and_flags, uint32_t page, uint8_t row) {
  const uint32_t pointer = (page << 8) | row;
  std::vector<uint8_t> bytes(12, 0);
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<uint8_t>(length_and_flags >> (8 * i));
    bytes[4 + i] = static_cast<uint8_t>(pointer >> (8 * i));
  }
  return bytes;
}

std::vector<uint8_t> Link(uint32_t page, uint8_t row, std::vector<uint8_t> data) {
  const uint32_t pointer = page == 0 ? 0 : (page << 8) | row;
  std::vector<uint8_t> bytes(4 + data.size());
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(pointer >> (8 * i));
  std::copy(data.begin(), data.end(), bytes.begin() + 4);
  return bytes;
}

TEST(JetLongValue, InlineAndSinglePageValuesAreWhole) {
  MemoryPages pages;
  std::vector<uint8_t> field = Header(0x80000000u | 3, 0, 0);
  field.insert(field.end(), {'a', 'b', 'c'});
  EXPECT_EQ(ReadLongValue(pages, field), (std::vector<uint8_t>{'a', 'b', 'c'}));

  pages.AddPage(5, {{9, 9}, {'x', 'y', 'z', 'w'}});
  EXPECT_EQ(ReadLongValue(pages, Header(0x40000000u | 4, 5, 1)), (std::vector<uint8_t>{'x', 'y', 'z', 'w'}));
}

TEST(JetLongValue, ChainsAcrossPagesAreJoinedInOrder) {
  MemoryPages pages;
  std::vector<uint8_t> big(3000, 'q');
  pages.AddPage(7, {Link(9, 1, big)});
  pages.AddPage(9, {{0}, Link(0, 0, {'e', 'n', 'd'})});
  const std::vector<uint8_t> value = ReadLongValue(pages, Header(3003, 7, 0));
  ASSERT_EQ(value.size(), 3003u);
  EXPECT_EQ(value[2999], 'q');
  EXPECT_EQ(std::string(value.end() - 3, value.end()), "end");
}

TEST(JetLongValue, DamagedValuesAreErrorsNotGuesses) {
  MemoryPages pages;
  // Inline data shorter than its length.
  std::vector<uint8_t> field = Header(0x80000000u | 10, 0, 0);
  field.push_back('a');
  EXPECT_THROW(ReadLongValue(pages, field), StorageError);
  EXPECT_THROW(ReadLongValue(pages, std::vector<uint8_t>{1, 2, 3}), StorageError);
  // Pointers outside the file and to missing rows.
  EXPECT_THROW(ReadLongValue(pages, Header(0x40000000u | 4, 4000, 0)), StorageError);
  pages.AddPage(3, {{1, 2, 3, 4}});
  EXPECT_THROW(ReadLongValue(pages, Header(0x40000000u | 4, 3, 7)), StorageError);
  // A chain that loops back on itself, and one that ends early.
  pages.AddPage(11, {Link(11, 0, {'l'})});
  EXPECT_THROW(ReadLongValue(pages, Header(100000, 11, 0)), StorageError);
  pages.AddPage(12, {Link(0, 0, {'s'})});
  EXPECT_THROW(ReadLongValue(pages, Header(50, 12, 0)), StorageError);
  // A chain that runs past its length.
  pages.AddPage(13, {Link(0, 0, {'1', '2', '3'})});
  EXPECT_THROW(ReadLongValue(pages, Header(2, 13, 0)), StorageError);
}

}  // namespace
}  // namespace vantor::formats::mdb
