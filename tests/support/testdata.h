#pragma once
// Paths of the shared sample files and of the independent readers, for tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vantor::testing {

inline std::filesystem::path TestDataDir() { return VANTOR_TESTDATA_DIR; }

// The path of a shared sample file; the calling test is skipped when the sample folder is absent.
#define VANTOR_REQUIRE_TESTDATA(relative, var)                                                     \
  const std::filesystem::path var = ::vantor::testing::TestDataDir() / (relative);                 \
  if (!std::filesystem::exists(var)) GTEST_SKIP() << "sample file not present: " << var.string()

inline std::filesystem::path ReadersDir() { return VANTOR_TEST_READERS_DIR; }

}  // namespace vantor::testing
