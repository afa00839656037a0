// Where a secondary window sits when it opens: in the middle of its owner while the owner is
// on the screen, else in the middle of the screen's work area; never past the work area's
// edges when it fits inside it.
#pragma once

#include <optional>

#include "ui/window_view.h"

namespace zeva {

// The place of a window of `own`'s size.
ScreenRect CenteredPlace(const ScreenRect& own, const std::optional<ScreenRect>& shownOwner,
                         const ScreenRect& workArea);

// Moves the view to its centred place, at its size.
void CenterOverOwner(IWindowView& view);

}  // namespace zeva
