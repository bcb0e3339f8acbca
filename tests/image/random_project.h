#pragma once

// Projects made from a seed for the tests that hold what is said of a project against the image
// the builder makes of it: a few frames and byte map rows whose texts take every form the integer
// conversion takes or refuses, mostly of numbers that fit their fields.

#include "image/configuration_image.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace trelvant::test {

// A text as the project holds it and the number it spells; none when it spells none.
struct Typed {
    std::string text;
    std::optional<std::int64_t> number;
};

// A value of the project and the field of the image that holds it.
struct Value {
    std::string document;
    std::optional<std::size_t> row;  // counted from 1
    std::string attribute;
    Typed typed;
    std::function<std::int64_t(const ConfigurationImage&)> stored;
};

// A project of the seed, in the J1939 layout or (one in four) in the CAN 2.0A layout, and the
// values the image holds of it.
std::vector<Value> MakeRandomProject(const std::filesystem::path& folder, std::uint32_t seed);

}  // namespace trelvant::test
