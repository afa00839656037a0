#include "support/fake_dialog_factory.h"

#include "res/dialog_templates.h"

namespace zeva::test {

std::vector<std::vector<int>> RadioGroupsOf(int templateId) {
  std::vector<std::vector<int>> groups;
  const res::DialogTemplate* dialog = res::FindDialogTemplate(templateId);
  if (!dialog) return groups;
  for (const res::ControlTemplate& control : dialog->controls) {
    if (control.kind != res::ControlKind::kRadio) continue;
    if (control.startsGroup || groups.empty()) groups.emplace_back();
    groups.back().push_back(control.id);
  }
  return groups;
}

}  // namespace zeva::test
