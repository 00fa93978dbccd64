#pragma once
// Exception classes of the dataset layer. Every failure is an exception that carries a short text;
// the class tells callers what kind of failure it was.

#include <functional>
#include <stdexcept>
#include <string>

namespace vantor {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// A value could not be converted (text that is not a number, a number out of range, ...).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A value lies outside the range a setting or index allows ("Invalid argument.").
class ERangeError : public Exception {
 public:
  using Exception::Exception;
};

// The dataset framework's database error.
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// printf-style formatting into a std::string, for message templates such as "Field '%s' not found".
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

[[noreturn]] void DatabaseError(const std::string& message);

// Where exceptions go that nobody can be handed (a blob stream's write-back in a destructor): the
// application installs a handler that shows them; without one they are written to standard error.
using ExceptionHandler = std::function<void(const std::exception&)>;
void SetApplicationExceptionHandler(ExceptionHandler handler);
void HandleApplicationException(const std::exception& error);

// The framework's message texts.
namespace msg {
inline constexpr const char* kNotEditing = "Dataset is not in edit mode.";
inline constexpr const char* kFieldNotFound = "Field '%s' not found";
inline constexpr const char* kFieldReadOnly = "Field %s is read only";
inline constexpr const char* kFieldRequired = "Field '%s' must have a value";
inline constexpr const char* kDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* kDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* kDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* kDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* kNotEditingOrInserting = "Dataset not in edit or insert mode";
inline constexpr const char* kRecordNotFound = "Record not found";
inline constexpr const char* kBookmarkNotFound = "Bookmark not found";
inline constexpr const char* kFieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* kFieldRangeError = "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* kInvalidFieldValue = "%s for field '%s'";
inline constexpr const char* kDuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* kNoFieldDefs = "Dataset has no field definitions";
inline constexpr const char* kFieldTypeNotSupported = "Field '%s' is of an unknown type";
inline constexpr const char* kBlobNotSupported = "Field '%s' has no blob stream in this dataset";
inline constexpr const char* kCircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* kInvalidArgument = "Invalid argument.";
}  // namespace msg

}  // namespace vantor
