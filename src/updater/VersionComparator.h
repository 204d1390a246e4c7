// The ordering of version texts used by appcasts: numeric and text parts, separators, and a
// dash that ends the version ("1.0b9" < "1.0b10" < "1.0" < "1.0.1").
#pragma once

#include <compare>
#include <string_view>

namespace nubrel {

// How version a stands to version b: less means a is older. Total and never fails: any text,
// the empty one included, is a version.
std::strong_ordering compareVersions(std::string_view a, std::string_view b);

}  // namespace nubrel
