#pragma once

#include <stdexcept>
#include <string>

namespace trelvant {

// The one error type of the core. Its message is the text the user sees.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace trelvant
