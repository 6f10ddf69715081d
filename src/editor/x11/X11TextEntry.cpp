#include "editor/x11/X11TextEntry.h"

#include <algorithm>
#include <cstring>

#include "core/IParameter.h"
#include "editor/IGraphics.h"
#include "raster/Fill.h"
#include "raster/SysBitmap.h"

X11TextEntry::Filter X11TextEntry::FilterFor(const IParameter* parameter) {
  if (!parameter) return Filter::kAny;
  return parameter->GetKind() == IParameter::kContinuous ? Filter::kDecimal : Filter::kInteger;
}

bool X11TextEntry::Accepts(Filter filter, char c) {
  const bool number = (c >= '0' && c <= '9') || c == '+' || c == '-';
  switch (filter) {
    case Filter::kInteger: return number;
    case Filter::kDecimal: return number || c == '.';
    default: return c >= 0x20 && c < 0x7F;
  }
}

void X11TextEntry::Open(IControl* control, IParameter* parameter, const ITextStyle& style,
                        const IRect& rect, const char* text, int maxLength) {
  state_ = State::kOpening;
  control_ = control;
  parameter_ = parameter;
  style_ = style;
  style_.font = nullptr;  // resolved afresh for this copy
  box_ = {rect.left, rect.top, rect.right + 1, rect.bottom + 1};
  filter_ = FilterFor(parameter);
  maxLength_ = std::clamp(maxLength, 0, kMaxLength);
  length_ = text ? int(std::min(std::strlen(text), size_t(maxLength_))) : 0;
  if (length_) std::memcpy(text_, text, size_t(length_));
  text_[length_] = '\0';
  caret_ = length_;
  selected_ = length_ > 0;
}

void X11TextEntry::Close() {
  state_ = State::kClosed;
  control_ = nullptr;
  parameter_ = nullptr;
  box_ = {};
  length_ = caret_ = 0;
  text_[0] = '\0';
  selected_ = false;
}

void X11TextEntry::Request(State commitOrCancel) {
  if (state_ == State::kOpening || state_ == State::kEditing) state_ = commitOrCancel;
}

void X11TextEntry::FocusGained() {
  if (state_ == State::kOpening) state_ = State::kEditing;
}

void X11TextEntry::FocusLost() {
  if (state_ == State::kEditing) state_ = State::kCommit;
}

void X11TextEntry::Erase(int from, int to) {
  std::memmove(text_ + from, text_ + to, size_t(length_ - to + 1));
  length_ -= to - from;
  caret_ = from;
}

void X11TextEntry::Insert(const char* typed) {
  for (const char* p = typed; *p; ++p) {
    if (!Accepts(filter_, *p)) continue;
    if (selected_) {
      Erase(0, length_);
      selected_ = false;
    }
    if (length_ >= maxLength_) continue;
    std::memmove(text_ + caret_ + 1, text_ + caret_, size_t(length_ - caret_ + 1));
    text_[caret_++] = *p;
    ++length_;
  }
}

bool X11TextEntry::Key(KeySym sym, const char* typed) {
  if (state_ != State::kOpening && state_ != State::kEditing) return false;
  char copy[kMaxLength + 1];
  std::memcpy(copy, text_, sizeof copy);
  const int caret = caret_;
  const bool selected = selected_;
  switch (sym) {
    case XK_Return:
    case XK_KP_Enter: state_ = State::kCommit; return false;
    case XK_Escape: state_ = State::kCancel; return false;
    case XK_BackSpace:
      if (selected_) Erase(0, length_);
      else if (caret_ > 0) Erase(caret_ - 1, caret_);
      selected_ = false;
      break;
    case XK_Delete:
    case XK_KP_Delete:
      if (selected_) Erase(0, length_);
      else if (caret_ < length_) Erase(caret_, caret_ + 1);
      selected_ = false;
      break;
    case XK_Left:
    case XK_KP_Left:
      if (!selected_ && caret_ > 0) --caret_;
      selected_ = false;
      break;
    case XK_Right:
    case XK_KP_Right:
      if (!selected_ && caret_ < length_) ++caret_;
      selected_ = false;
      break;
    case XK_Home:
    case XK_KP_Home: caret_ = 0, selected_ = false; break;
    case XK_End:
    case XK_KP_End: caret_ = length_, selected_ = false; break;
    default:
      if (typed) Insert(typed);
      break;
  }
  return caret != caret_ || selected != selected_ || std::strcmp(copy, text_) != 0;
}

bool X11TextEntry::Press(int x, int y) {
  if (state_ != State::kOpening && state_ != State::kEditing) return false;
  if (!box_.Contains(x, y)) {
    state_ = State::kCancel;
    return false;
  }
  const bool changed = selected_ || caret_ != length_;
  selected_ = false;
  caret_ = length_;
  return changed;
}

void X11TextEntry::Draw(IGraphics& g) {
  raster::SysBitmap* surface = g.Surface();
  if (!IsOpen() || !surface) return;
  const Pixel background = style_.entryBackground.Packed() | 0xFF000000u;
  const Pixel ink = style_.entryText.Packed() | 0xFF000000u;
  raster::FillRect(surface, box_.left, box_.top, box_.W(), box_.H(), ink, 1.0f, BlitCopy);
  raster::FillRect(surface, box_.left + 1, box_.top + 1, box_.W() - 2, box_.H() - 2, background,
                   1.0f, BlitCopy);
  const IRect inner{box_.left + 2, box_.top + 1, box_.right - 2, box_.bottom - 1};

  // Where the text goes, as the style aligns it, and where the caret sits.
  style_.color = style_.entryText;
  style_.color.a = 255;
  IRect all = inner;
  g.MeasureText(style_, length_ ? text_ : " ", all);
  const int textHeight = all.H();
  const int top = inner.top + (inner.H() - textHeight) / 2;
  if (length_ == 0) all.right = all.left;
  IRect line{all.left, top, all.right, top + textHeight};
  if (selected_) {
    raster::FillRect(surface, line.left, line.top, line.W(), line.H(), ink, 1.0f, BlitCopy);
    style_.color = style_.entryBackground;
    style_.color.a = 255;
  }
  g.DrawText(style_, text_, {inner.left, top, inner.right, top + textHeight});
  if (!selected_ && state_ == State::kEditing) {
    char head[kMaxLength + 1];
    std::memcpy(head, text_, size_t(caret_));
    head[caret_] = '\0';
    IRect prefix{line.left, top, line.left, top + textHeight};
    if (caret_ > 0) {
      ITextStyle left = style_;
      left.align = ITextStyle::kLeft;
      g.MeasureText(left, head, prefix);
    }
    const int x = std::min(prefix.right, inner.right - 1);
    raster::FillRect(surface, x, top, 1, textHeight, ink, 1.0f, BlitCopy);
  }
}
