#pragma once
// The editor's own single-line text box for typing a value: drawn onto the
// editor's surface over a control, fed with the window's keys and presses.
// Commit and cancel requests take effect when the window next ticks.

#include "editor/IGraphicsTypes.h"
#include "editor/x11/XlibHeaders.h"

class IControl;
class IGraphics;
class IParameter;

class X11TextEntry {
 public:
  enum class State { kClosed, kOpening, kEditing, kCommit, kCancel };
  // Characters a box accepts: any printable one, digits and signs, or
  // digits, signs and the decimal point.
  enum class Filter { kAny, kInteger, kDecimal };
  static constexpr int kMaxLength = 31;

  static Filter FilterFor(const IParameter* parameter);
  static bool Accepts(Filter filter, char c);

  bool IsOpen() const { return state_ != State::kClosed; }
  State GetState() const { return state_; }
  // Starts over rect (corners inclusive) with text, all of it selected. At
  // most maxLength characters (and kMaxLength) are kept.
  void Open(IControl* control, IParameter* parameter, const ITextStyle& style, const IRect& rect,
            const char* text, int maxLength);
  // Closed again; nothing is applied.
  void Close();
  // A commit or cancel request while open; the first one stands.
  void Request(State commitOrCancel);

  // The keyboard focus arrived (editing begins) or left (commit).
  void FocusGained();
  void FocusLost();
  // An editing key or typed characters; Return commits, Escape cancels.
  // True when the box changed.
  bool Key(KeySym sym, const char* typed);
  // A press at (x, y): inside the box it drops the selection and keeps
  // editing, elsewhere it cancels. True when the box changed.
  bool Press(int x, int y);

  const char* Text() const { return text_; }
  int Caret() const { return caret_; }
  bool AllSelected() const { return selected_; }
  IControl* Control() const { return control_; }
  IParameter* Parameter() const { return parameter_; }
  // The area the box covers.
  const IRect& Box() const { return box_; }

  // Draws the box onto g's surface.
  void Draw(IGraphics& g);

 private:
  void Insert(const char* typed);
  void Erase(int from, int to);

  State state_ = State::kClosed;
  IControl* control_ = nullptr;
  IParameter* parameter_ = nullptr;
  ITextStyle style_;
  IRect box_;
  Filter filter_ = Filter::kAny;
  char text_[kMaxLength + 1] = {};
  int length_ = 0;
  int maxLength_ = kMaxLength;
  int caret_ = 0;
  bool selected_ = false;
};
