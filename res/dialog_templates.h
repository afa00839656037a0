// Dialog templates and menus as data: both ports build their windows from these tables.
#pragma once

#include <string_view>
#include <vector>

namespace zeva::res {

enum class ControlKind {
  kButton,
  kOwnerDrawButton,
  kEdit,
  kPasswordEdit,
  kStatic,
  kGroupBox,
  kRadio,
  kCheckBox,
  kProgressBar,
};

inline constexpr int kNoId = -1;  // labels and group boxes nothing looks up

struct ControlTemplate {
  int id;
  ControlKind kind;
  std::u16string_view text;
  int x, y, width, height;  // dialog units
  bool visible = true;
  bool startsGroup = false;  // radio buttons: the first of an exclusive group
};

struct DialogTemplate {
  int id;
  std::u16string_view fontName;
  int fontPoints;
  int width, height;  // dialog units; windows resize themselves in pixels
  bool taskbarButton;
  std::vector<ControlTemplate> controls;
  std::u16string_view caption = {};  // only windows with a system caption show one
  // A system menu (Alt+Space, the caption's menu and close box); the caption-less pop-ups
  // have one too, only the main window has none.
  bool systemMenu = false;
};

struct MenuItem {
  int command;  // 0: separator
  std::u16string_view text;
};

struct MenuTemplate {
  int id;
  std::u16string_view popupTitle;
  std::vector<MenuItem> items;
};

const DialogTemplate* FindDialogTemplate(int id);
const MenuTemplate* FindMenuTemplate(int id);

// Dialog units to pixels for a template's font: the average character width and height
// of the font over 4 and 8 units.
struct DialogUnitScale {
  int baseX;  // average character width in pixels
  int baseY;  // character height in pixels
  int X(int units) const { return (units * baseX + 2) / 4; }
  int Y(int units) const { return (units * baseY + 4) / 8; }
};

}  // namespace zeva::res
