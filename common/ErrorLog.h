#pragma once

#include <exception>
#include <string_view>

namespace linlangok {

// Writes "context: what()" of the error to standard error, for whoever runs the program from a
// terminal or reads its log: the message the user sees may say less. Any thread; never throws.
// Inside a catch block the error defaults to the one being handled.
void LogError(std::string_view context, std::exception_ptr error = std::current_exception()) noexcept;

} // namespace linlangok
