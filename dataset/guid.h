#pragma once
// A GUID with its Windows byte layout (Data1..Data3 little-endian, Data4 as bytes) and its braced text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".

#include <array>
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantor {

struct Guid {
  std::array<uint8_t, 16> bytes{};

  static Guid Parse(std::string_view text);  // braces optional; EConvertError
  static bool TryParse(std::string_view text, Guid& out);
  std::string ToString() const;               // upper-case hex, braced, 38 characters

  friend auto operator<=>(const Guid&, const Guid&) = default;
};

}  // namespace vantor
