// vantor-cli: the command-line tool over Vantor's storage engines.

#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

const char* kUsage =
    "usage: vantor-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  tables DATABASE         list the tables of a database, one a line\n"
    "  schema DATABASE TABLE   list a table's columns: name, ADO type, defined size, scale (tab-separated)\n"
    "  dump DATABASE TABLE     write a table's rows as CSV with a header line\n"
    "  query DATABASE SQL      run a query and write its rows as CSV with a header line\n"
    "  exec DATABASE SQL       run a statement without rows and print the number of rows changed\n"
    "  export DATABASE TABLE TARGET TYPE\n"
    "                          copy a table to a text (1), Excel (2) or dBase (3) file\n"
    "  new FILE                create an empty .xls workbook (sheet tempsheet) or .mdb database\n"
    "\n"
    "DATABASE is a connection string, a .dbf file or a directory of them, an .xls workbook, or an\n"
    ".mdb/.accdb file. SQL is Jet SQL: [names], #dates#, TOP n, SELECT ... INTO, CREATE/DROP/ALTER TABLE.\n"
    "options:\n"
    "  --version               print the version\n"
    "  --help                  print this text\n";

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (argc < 2) {
    std::cerr << kUsage;
    return 1;
  }
  const std::string command = argv[1];
  if (command == "--version" || command == "-V") {
    std::cout << "vantor-cli " << VANTOR_VERSION << '\n';
    return 0;
  }
  if (command == "--help" || command == "-h") {
    std::cout << kUsage;
    return 0;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "tables") return vantor::cli::Tables(args, std::cout);
    if (command == "schema") return vantor::cli::Schema(args, std::cout);
    if (command == "dump") return vantor::cli::Dump(args, std::cout);
    if (command == "query") return vantor::cli::Query(args, std::cout);
    if (command == "exec") return vantor::cli::Exec(args, std::cout);
    if (command == "export") return vantor::cli::Export(args, std::cout);
    if (command == "new") return vantor::cli::New(args, std::cout);
    std::cerr << "vantor-cli: unknown command '" << command << "'\n" << kUsage;
    return 1;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "vantor-cli: " << e.what() << '\n';
    return 1;
  }
}
