// SHA-256 of a byte string, as lower-case hex: for comparing downloads with their sources.
#pragma once

#include <string>
#include <string_view>

namespace zeva::test {

std::string Sha256Hex(std::string_view bytes);

}  // namespace zeva::test
