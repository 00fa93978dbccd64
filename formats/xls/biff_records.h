#pragma once
// BIFF record identifiers and the record framing (id, length, data) of a workbook stream.

#include <cstdint>
#include <span>
#include <vector>

namespace vantor::formats::xls::rec {

inline constexpr uint16_t kFormula = 0x0006, kEof = 0x000A, kExternSheet = 0x0017, kName = 0x0018,
                          kDateMode = 0x0022, kFont = 0x0031, kContinue = 0x003C, kCodePage = 0x0042,
                          kWindow1 = 0x003D, kBoundSheet = 0x0085, kCountry = 0x008C, kStyle = 0x0293,
                          kMulRk = 0x00BD, kMulBlank = 0x00BE, kRString = 0x00D6, kDbCell = 0x00D7,
                          kXf = 0x00E0, kMsoDrawingGroup = 0x00EB, kSst = 0x00FC,
                          kLabelSst = 0x00FD, kExtSst = 0x00FF, kSupBook = 0x01AE, kDimensions = 0x0200,
                          kBlank = 0x0201, kNumber = 0x0203, kLabel = 0x0204, kBoolErr = 0x0205,
                          kString = 0x0207, kRow = 0x0208, kIndex = 0x020B, kArray = 0x0221, kWindow2 = 0x023E,
                          kTable = 0x0236, kRk = 0x027E, kFormat = 0x041E, kShrFmla = 0x04BC, kBof = 0x0809,
                          kFormula4 = 0x0406;

inline constexpr size_t kMaxRecordData = 8224;  // BIFF8; longer data continues in CONTINUE records

// One record located in a stream: `offset` is where its 4-byte header starts.
struct RecordRef {
  uint16_t id = 0;
  uint32_t offset = 0;
  uint16_t length = 0;
  uint32_t DataOffset() const { return offset + 4; }
  uint32_t End() const { return offset + 4 + length; }
};

}  // namespace vantor::formats::xls::rec
