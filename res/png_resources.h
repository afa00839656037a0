// The pictures of the skin, built into the executable; each port decodes them its own way.
#pragma once

#include <span>

namespace zeva::res {

// The PNG file of a picture number; empty when there is none.
std::span<const unsigned char> FindPngResource(int id);

}  // namespace zeva::res
