#include "ui/window_placement.h"

#include <algorithm>

namespace zeva {
namespace {

// Keeps [start, start + length) inside [areaStart, areaStart + areaLength) when it fits;
// a window larger than the area keeps its top-left corner on the screen.
int Clamp(int start, int length, int areaStart, int areaLength) {
  if (areaLength <= 0) return start;
  start = std::min(start, areaStart + areaLength - length);
  return std::max(start, areaStart);
}

}  // namespace

ScreenRect CenteredPlace(const ScreenRect& own, const std::optional<ScreenRect>& shownOwner,
                         const ScreenRect& workArea) {
  // A hidden or minimised owner has no place a player could see (a minimised Windows
  // window sits at -32000): the window goes to the middle of the screen instead.
  const ScreenRect& area = shownOwner ? *shownOwner : workArea;
  ScreenRect place = own;
  place.x = area.x + (area.width - own.width) / 2;
  place.y = area.y + (area.height - own.height) / 2;
  place.x = Clamp(place.x, own.width, workArea.x, workArea.width);
  place.y = Clamp(place.y, own.height, workArea.y, workArea.height);
  return place;
}

void CenterOverOwner(IWindowView& view) {
  const ScreenRect place = CenteredPlace(view.Bounds(), view.ShownOwnerBounds(), view.WorkArea());
  view.SetBounds(place.x, place.y, place.width, place.height);
}

}  // namespace zeva
