#include "ports/win32/dialog_template_builder.h"

#include <string_view>

namespace zeva::win32 {
namespace {

struct ControlClass {
  std::u16string_view className;
  DWORD style;
};

// The classes and styles a resource compiler gives these controls; radio groups start where
// the template says, so the dialog manager's automatic radio buttons exclude each other
// within their group only.
ControlClass ClassOf(const res::ControlTemplate& control) {
  switch (control.kind) {
    case res::ControlKind::kButton:
      return {u"Button", BS_PUSHBUTTON | WS_TABSTOP};
    case res::ControlKind::kOwnerDrawButton:
      return {u"Button", BS_OWNERDRAW | WS_TABSTOP};
    case res::ControlKind::kGroupBox:
      return {u"Button", BS_GROUPBOX};
    case res::ControlKind::kRadio:
      return {u"Button",
              BS_AUTORADIOBUTTON | (control.startsGroup ? WS_GROUP | WS_TABSTOP : DWORD{0})};
    case res::ControlKind::kCheckBox:
      return {u"Button", BS_AUTOCHECKBOX | WS_TABSTOP};
    case res::ControlKind::kEdit:
      return {u"Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP};
    case res::ControlKind::kPasswordEdit:
      return {u"Edit", ES_LEFT | ES_AUTOHSCROLL | ES_PASSWORD | WS_BORDER | WS_TABSTOP};
    case res::ControlKind::kStatic:
      return {u"Static", SS_LEFT};
    case res::ControlKind::kProgressBar:
      return {u"msctls_progress32", WS_BORDER};
  }
  return {u"Static", SS_LEFT};
}

class TemplateWriter {
 public:
  void Word(WORD value) { m_words.push_back(value); }
  void Short(int value) { Word(static_cast<WORD>(static_cast<short>(value))); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Text(std::u16string_view text) {
    for (const char16_t unit : text) Word(static_cast<WORD>(unit));
    Word(0);
  }
  // Items start on DWORD boundaries, counted from the template's start.
  void AlignDword() {
    if (m_words.size() % 2 != 0) Word(0);
  }
  std::vector<WORD> Take() { return std::move(m_words); }

 private:
  std::vector<WORD> m_words;
};

bool IsShellFont(std::u16string_view name) {
  return name == u"MS Shell Dlg" || name == u"MS Shell Dlg 2";
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const res::DialogTemplate& dialog) {
  DWORD style = WS_POPUP | (IsShellFont(dialog.fontName) ? DS_SHELLFONT : DS_SETFONT);
  if (!dialog.caption.empty()) style |= DS_MODALFRAME | WS_CAPTION;
  if (dialog.systemMenu) style |= WS_SYSMENU;
  const DWORD exStyle = dialog.taskbarButton ? WS_EX_APPWINDOW : 0;

  TemplateWriter out;
  out.Word(1);       // dlgVer
  out.Word(0xFFFF);  // signature: the extended template
  out.Dword(0);      // helpID
  out.Dword(exStyle);
  out.Dword(style);
  out.Word(static_cast<WORD>(dialog.controls.size()));
  out.Short(0);
  out.Short(0);
  out.Short(dialog.width);
  out.Short(dialog.height);
  out.Word(0);  // no menu
  out.Word(0);  // the dialog class
  out.Text(dialog.caption);
  out.Word(static_cast<WORD>(dialog.fontPoints));
  out.Word(FW_NORMAL);
  out.Word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // italic, charset
  out.Text(dialog.fontName);

  for (const res::ControlTemplate& control : dialog.controls) {
    const ControlClass kind = ClassOf(control);
    out.AlignDword();
    out.Dword(0);  // helpID
    out.Dword(0);  // exStyle
    out.Dword(WS_CHILD | kind.style | (control.visible ? WS_VISIBLE : DWORD{0}));
    out.Short(control.x);
    out.Short(control.y);
    out.Short(control.width);
    out.Short(control.height);
    out.Dword(static_cast<DWORD>(control.id));
    out.Text(kind.className);
    out.Text(control.text);
    out.Word(0);  // no creation data
  }
  return out.Take();
}

}  // namespace zeva::win32
