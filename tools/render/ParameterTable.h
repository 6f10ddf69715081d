#pragma once

#include "PluginInstance.h"
#include "RenderOptions.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

struct ParameterInfo {
  int index = 0;
  std::string name;
  std::string label;
  std::string minText, maxText, defaultText;  // as the plug-in displays them
  std::optional<double> min, max;             // when both displays are numbers
};

// The plug-in's parameters by name, with ranges and defaults.
//
// VST 2.4 has no request for a parameter's range or default, so they are
// read from a scratch instance of the same library: the display text right
// after opening is the default, and the display texts after setParameter(0)
// and setParameter(1) are the two ends of the range. The instance being
// rendered is never touched by this probing.
class ParameterTable {
 public:
  ParameterTable(const PluginLibrary& library, double sampleRate, int blockFrames);

  const std::vector<ParameterInfo>& Parameters() const { return params_; }

  // Finds a parameter by exact name, else by a unique case-insensitive match.
  // Throws RenderError naming the known parameters.
  const ParameterInfo& Find(const std::string& name) const;

  // Applies one --set / --set-normalized. A value that is not a number, lies
  // outside the range or is refused by the plug-in is a RenderError.
  void Apply(PluginInstance& instance, const ParameterAssignment& assignment) const;

  // Index, name, range, default and the instance's current display text.
  void Print(PluginInstance& instance, std::FILE* out) const;

 private:
  std::vector<ParameterInfo> params_;
};
