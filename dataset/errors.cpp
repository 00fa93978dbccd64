#include "dataset/errors.h"

#include <cstdarg>
#include <cstdio>

namespace vantor {

std::string Format(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, pattern, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, pattern, args);
  va_end(args);
  return out;
}

void DatabaseError(const std::string& message) { throw EDatabaseError(message); }

namespace {
ExceptionHandler& Handler() {
  static ExceptionHandler handler;
  return handler;
}
}  // namespace

void SetApplicationExceptionHandler(ExceptionHandler handler) { Handler() = std::move(handler); }

void HandleApplicationException(const std::exception& error) {
  if (Handler())
    Handler()(error);
  else
    std::fprintf(stderr, "%s\n", error.what());
}

}  // namespace vantor
