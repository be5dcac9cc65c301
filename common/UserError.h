// The error a program reports to its user and ends with: "PROGRAM: MESSAGE" and an exit code.
// The text conversions throw it for input the user must fix; the command line throws it for its
// own usage errors.
#pragma once

#include <stdexcept>
#include <string>

namespace kalvor {

// Exit code 1, 2 for a usage error.
class UserError : public std::runtime_error {
 public:
  explicit UserError(const std::string& m, int code = 1) : std::runtime_error(m), exit_code(code) {}
  int exit_code;
};

}  // namespace kalvor
