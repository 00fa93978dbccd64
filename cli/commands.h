#pragma once
// The subcommands of vantor-cli. Each returns the process exit status.

#include <ostream>
#include <string>
#include <vector>

namespace vantor::cli {

int Tables(const std::vector<std::string>& args, std::ostream& out);
int Schema(const std::vector<std::string>& args, std::ostream& out);
int Dump(const std::vector<std::string>& args, std::ostream& out);
int Query(const std::vector<std::string>& args, std::ostream& out);
int Exec(const std::vector<std::string>& args, std::ostream& out);
int Export(const std::vector<std::string>& args, std::ostream& out);
int New(const std::vector<std::string>& args, std::ostream& out);

}  // namespace vantor::cli
