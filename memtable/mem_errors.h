#pragma once
// Errors of the in-memory table. Every class carries a message only; the class says what went wrong.

#include "dataset/errors.h"

namespace vantor {

class EMemTableError : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
};

// The table or its store is in a state it cannot go on from (close and reopen).
class EMemTableFatalError : public EMemTableError {
 public:
  using EMemTableError::EMemTableError;
};

class EMemTableInvalidRecord : public EMemTableFatalError {
 public:
  using EMemTableFatalError::EMemTableFatalError;
};

class EMemTableDupKey : public EMemTableError {
 public:
  using EMemTableError::EMemTableError;
};

class EMemTableFilterError : public EMemTableError {
 public:
  using EMemTableError::EMemTableError;
};

class EMemTableLocaleError : public EMemTableError {
 public:
  using EMemTableError::EMemTableError;
};

class EMemTableInvalidLocale : public EMemTableLocaleError {
 public:
  using EMemTableLocaleError::EMemTableLocaleError;
};

// Message texts of the in-memory table.
namespace memmsg {
inline constexpr const char* kNoFields = "There must be at least one field";
inline constexpr const char* kFieldDefPrefix = "Fielddef ";
inline constexpr const char* kDataTypeNotSupported = " Datatype %d not supported.";
inline constexpr const char* kBookmarkCounterOutOfRange =
    "Bookmark counter is out of range. Please close and reopen table.";
inline constexpr const char* kTableMustBeClosed = "Table must be closed for this operation.";
inline constexpr const char* kChildrenAttached = "Children are attached to this table.";
inline constexpr const char* kInvalidLocale = "Invalid locale.";
inline constexpr const char* kInvalidRecord = "Invalid record ";
inline constexpr const char* kCannotIndexField = "Can't index on field %s";
inline constexpr const char* kTooManyKeyFields = "A field list names more than %d fields";
inline constexpr const char* kDuplicateKey = "Duplicate index value. Operation aborted.";
inline constexpr const char* kBookmarkNotFound = "Bookmark %d not found.";
inline constexpr const char* kAppendAndStructure = "Cannot both append and copy structure.";
inline constexpr const char* kTooManyFieldDefs = "Too many fielddefs. Please raise MEM_MAX_FIELDS value.";
inline constexpr const char* kNotBuiltYet = "%s is not available in this version of the in-memory table";
}  // namespace memmsg

}  // namespace vantor
