#pragma once
// The DATABASE argument of vantor-cli: a connection string as the program writes them, or a path (an .mdb,
// .accdb or .xls file, a .dbf file or a directory of them) turned into one.

#include <string>

namespace vantor::cli {

std::string ConnectionStringForArgument(const std::string& argument);

}  // namespace vantor::cli
