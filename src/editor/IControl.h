#pragma once

// What the plug-in core needs of an editor control: its bound parameter, its
// linked secondary parameters, and taking values from the plug-in.
class IControl {
 public:
  virtual ~IControl() = default;

  // Index of the bound parameter, -1 when unbound.
  virtual int ParamIndex() const = 0;
  virtual int LinkedParamCount() const = 0;
  // Parameter index of linked secondary parameter k.
  virtual int LinkedParamIndex(int k) const = 0;

  // Normalised value of the bound parameter, pushed by the plug-in.
  virtual void ApplyValueFromPlugin(double value) = 0;
  // Normalised value of linked secondary parameter k.
  virtual void ApplyLinkedValueFromPlugin(int k, double value) = 0;
};
