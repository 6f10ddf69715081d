#include "ParameterTable.h"

#include "RenderError.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

}  // namespace

ParameterTable::ParameterTable(const PluginLibrary& library, double sampleRate, int blockFrames) {
  PluginInstance scratch(library, sampleRate, blockFrames);
  scratch.SetStreamFormat(sampleRate, blockFrames);
  const int n = scratch.NumParams();
  params_.resize(static_cast<size_t>(std::max(n, 0)));
  for (int i = 0; i < n; ++i) {
    ParameterInfo& p = params_[static_cast<size_t>(i)];
    p.index = i;
    p.name = scratch.ParamName(i);
    p.label = scratch.ParamLabel(i);
    p.defaultText = Trim(scratch.ParamDisplay(i));
  }
  for (int i = 0; i < n; ++i) {
    ParameterInfo& p = params_[static_cast<size_t>(i)];
    scratch.Effect().setParameter(&scratch.Effect(), i, 0.0f);
    p.minText = Trim(scratch.ParamDisplay(i));
    scratch.Effect().setParameter(&scratch.Effect(), i, 1.0f);
    p.maxText = Trim(scratch.ParamDisplay(i));
    double lo = 0, hi = 0;
    if (ParseNumber(p.minText, lo) && ParseNumber(p.maxText, hi)) {
      if (lo > hi) std::swap(lo, hi);  // a parameter shown inverted
      p.min = lo;
      p.max = hi;
    }
  }
}

const ParameterInfo& ParameterTable::Find(const std::string& name) const {
  for (const auto& p : params_)
    if (p.name == name) return p;
  const ParameterInfo* match = nullptr;
  for (const auto& p : params_) {
    if (EqualNoCase(p.name, name)) {
      if (match) throw RenderError("parameter name '" + name + "' is ambiguous");
      match = &p;
    }
  }
  if (match) return *match;
  std::string known;
  for (const auto& p : params_) known += (known.empty() ? "" : ", ") + p.name;
  throw RenderError("unknown parameter '" + name + "' (known: " + known + ")");
}

void ParameterTable::Apply(PluginInstance& instance, const ParameterAssignment& a) const {
  const ParameterInfo& p = Find(a.name);
  double v = 0;
  const bool numeric = ParseNumber(a.value, v);

  if (a.normalized) {
    if (!numeric) throw RenderError("value '" + a.value + "' for " + p.name + " is not a number");
    if (v < 0.0 || v > 1.0)
      throw RenderError("normalized value " + a.value + " for " + p.name + " is outside 0 .. 1");
    instance.Effect().setParameter(&instance.Effect(), p.index, static_cast<float>(v));
    return;
  }

  std::string text = a.value;
  if (p.min && p.max) {
    if (!numeric) throw RenderError("value '" + a.value + "' for " + p.name + " is not a number");
    // The range ends are display texts, rounded to the shown decimals.
    const double slack = 1e-9 * std::max(1.0, *p.max - *p.min);
    if (v < *p.min - slack || v > *p.max + slack)
      throw RenderError("value " + a.value + " for " + p.name + " is out of range " + p.minText +
                        " .. " + p.maxText);
    // Plain fixed-point text: the plug-in's reader need not know exponents.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15f", v);
    text = buf;
  }
  // Without a numeric range the value may be one of the plug-in's own
  // display texts, which it matches itself.
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  if (instance.Dispatch(vst::effString2Parameter, p.index, 0, buf.data()) == 0)
    throw RenderError("plug-in refused value '" + a.value + "' for " + p.name);
}

void ParameterTable::Print(PluginInstance& instance, std::FILE* out) const {
  size_t width = 4;
  for (const auto& p : params_) width = std::max(width, p.name.size());
  std::fprintf(out, "%5s  %-*s  %-22s  %-10s  %s\n", "index", static_cast<int>(width), "name",
               "range", "default", "current");
  for (const auto& p : params_) {
    const std::string range = p.minText + " .. " + p.maxText;
    std::string current = instance.ParamDisplay(p.index);
    const std::string label = instance.ParamLabel(p.index);
    current = Trim(current) + (label.empty() ? "" : " " + label);
    std::fprintf(out, "%5d  %-*s  %-22s  %-10s  %s\n", p.index, static_cast<int>(width),
                 p.name.c_str(), range.c_str(), p.defaultText.c_str(), current.c_str());
  }
}
