#include "editor/IPopupMenu.h"

#include <cstdio>

int IPopupMenu::AddItem(const char* text, std::uint32_t flags) {
  items_.push_back({text ? text : "", flags, nullptr});
  return ItemCount() - 1;
}

int IPopupMenu::AddSeparator() { return AddItem("", kSeparator); }

int IPopupMenu::AddSubmenu(const char* text, IPopupMenu* submenu) {
  items_.push_back({text ? text : "", 0, std::unique_ptr<IPopupMenu>(submenu)});
  return ItemCount() - 1;
}

const IPopupMenu::Item* IPopupMenu::GetItem(int i) const {
  return i >= 0 && i < ItemCount() ? &items_[size_t(i)] : nullptr;
}

void IPopupMenu::SetItemFlags(int i, std::uint32_t flags) {
  if (i >= 0 && i < ItemCount()) items_[size_t(i)].flags = flags;
}

void IPopupMenu::DisplayText(int i, char* out, std::size_t capacity) const {
  if (!out || capacity == 0) return;
  const Item* item = GetItem(i);
  const char* text = item ? item->text.c_str() : "";
  const int n = i + 1;
  switch (prefix_) {
    case kOneDigit:
      std::snprintf(out, capacity, "%1d: %s", n, text);
      break;
    case kTwoDigits:
      std::snprintf(out, capacity, "%02d: %s", n, text);
      break;
    case kThreeDigits:
      std::snprintf(out, capacity, "%03d: %s", n, text);
      break;
    default:
      std::snprintf(out, capacity, "%s", text);
      break;
  }
}

int IPopupMenu::AssignCommandIds(int first) {
  firstId_ = first;
  int next = first + ItemCount();
  for (Item& item : items_)
    if (item.submenu) next = item.submenu->AssignCommandIds(next);
  return next;
}

IPopupMenu* IPopupMenu::ChooseCommand(int id) {
  if (id >= firstId_ && id < firstId_ + ItemCount()) {
    chosen_ = id - firstId_;
    return this;
  }
  for (Item& item : items_)
    if (item.submenu)
      if (IPopupMenu* m = item.submenu->ChooseCommand(id)) return m;
  return nullptr;
}
