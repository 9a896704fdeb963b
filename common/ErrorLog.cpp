#include "common/ErrorLog.h"

#include <cstdio>
#include <string>

namespace linlangok {
namespace {

std::string WhatOf(const std::exception_ptr& error)
{
    if (!error)
        return "no exception";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& exception) {
        return exception.what();
    } catch (...) {
        return "unknown exception";
    }
}

} // namespace

void LogError(std::string_view context, std::exception_ptr error) noexcept
{
    try {
        // One write, so that lines from several threads do not interleave.
        const std::string line = "linlangok: " + std::string(context) + ": " + WhatOf(error) + "\n";
        std::fputs(line.c_str(), stderr);
    } catch (...) {
        std::fputs("linlangok: an error could not be logged\n", stderr);
    }
}

} // namespace linlangok
