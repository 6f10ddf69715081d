#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A pop-up menu as the editor hands it to the window layer: items with a
// text, flags and an optional submenu, shown with an optional number prefix.
// The window layer numbers every item of the whole tree with one command id
// and writes the chosen item back into the menu that holds it.
class IPopupMenu {
 public:
  enum Prefix : int { kNoPrefix = 0, kOneDigit = 1, kTwoDigits = 2, kThreeDigits = 3 };
  enum ItemFlags : std::uint32_t {
    kDisabled = 0x1,
    kTitle = 0x2,
    kChecked = 0x4,
    kSeparator = 0x8,
  };

  struct Item {
    std::string text;
    std::uint32_t flags = 0;
    std::unique_ptr<IPopupMenu> submenu;  // owned; null for a plain item
  };

  explicit IPopupMenu(int prefix = kNoPrefix) : prefix_(prefix) {}
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // Each returns the new item's index.
  int AddItem(const char* text, std::uint32_t flags = 0);
  int AddSeparator();
  // Takes ownership of submenu.
  int AddSubmenu(const char* text, IPopupMenu* submenu);

  int Prefix() const { return prefix_; }
  int ItemCount() const { return int(items_.size()); }
  // Null outside 0 .. ItemCount() - 1.
  const Item* GetItem(int i) const;
  void SetItemFlags(int i, std::uint32_t flags);

  // The text as shown: with a prefix style, "<n>: <text>" where n counts the
  // items from 1 within this menu (a separator uses a number too).
  void DisplayText(int i, char* out, std::size_t capacity) const;

  // Gives this menu the ids first .. first + ItemCount() - 1, then each
  // submenu in item order its own block after those; returns the next free id.
  int AssignCommandIds(int first);
  int FirstCommandId() const { return firstId_; }
  // Marks the item with this command id as chosen in the menu whose block
  // holds it and returns that menu; null when no menu of the tree holds it.
  IPopupMenu* ChooseCommand(int id);

  // Index of the chosen item, -1 when none.
  int ChosenIndex() const { return chosen_; }
  void SetChosenIndex(int i) { chosen_ = i; }

 private:
  int prefix_;
  std::vector<Item> items_;
  int firstId_ = 0;
  int chosen_ = -1;
};
