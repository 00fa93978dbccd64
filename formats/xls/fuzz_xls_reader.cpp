// libFuzzer target: any bytes given to the workbook reader end in a workbook or a StorageError, never in
// a crash, a hang or a read out of range. Readable inputs also go through the table view and the writer.

#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/xls/sheet_table.h"
#include "formats/xls/workbook_file.h"
#include "formats/xls/workbook_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantor::formats::xls;
  try {
    WorkbookFile file = ParseWorkbookFile(std::span<const uint8_t>(data, size));
    for (Sheet& sheet : file.book.sheets) {
      if (!sheet.IsWorksheet()) continue;
      SheetTable table(file.book, sheet);
      const auto columns = table.Columns();
      const TableLayout& layout = table.Layout();
      for (size_t r = layout.header_row + 1; r < layout.end_row && r < sheet.rows.size(); ++r)
        for (const Cell& c : sheet.rows[r].cells)
          if (c.col >= layout.first_col && c.col - layout.first_col < columns.size())
            (void)table.Typed(&c, columns[c.col - layout.first_col]);
      sheet.modified = true;  // make the writer rebuild every sheet from its cells
    }
    if (file.book.version == BiffVersion::kBiff8) (void)BuildWorkbookFile(file);
  } catch (const vantor::formats::StorageError&) {
  }
  return 0;
}
