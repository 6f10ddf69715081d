// Writes the LV2 bundle's description of Quillwave, manifest.ttl and
// Quillwave.ttl, from the plug-in's own parameter table, so the two cannot
// drift apart: quillwave-lv2-ttl OUTPUT_DIR DSP_BINARY UI_BINARY.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/IEffectCore.h"
#include "core/PluginFactory.h"
#include "quillwave/Quillwave.h"

namespace {

constexpr const char* kPluginUri = "urn:korvanta:quillwave";
constexpr const char* kUiUri = "urn:korvanta:quillwave:ui";

// How a parameter shows in a host's generic controls.
struct PortLook {
  const char* symbol;
  const char* unit;                  // a units: resource, or null
  std::vector<const char*> choices;  // labels of 0, 1, ...: an enumeration
  bool toggle = false;
  const char* comment = nullptr;
};

PortLook Look(int index) {
  switch (index) {
    case Quillwave::kMix: return {"mix", "units:coef", {}};
    case Quillwave::kLfoFrequency: return {"lfo_frequency", "units:hz", {}};
    case Quillwave::kNote:
      return {"note", nullptr, {"1/1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64"}};
    case Quillwave::kPhase:
      return {"phase", nullptr, {}, false, "1.5 is no shift; 0.5 and 2.5 shift by -180 and +180 degrees"};
    case Quillwave::kSymmetry: return {"symmetry", "units:coef", {}};
    case Quillwave::kShape:
      return {"shape", nullptr, {}, false, "0 cosine, 1 triangle, 2 square; blends in between"};
    case Quillwave::kPrefix:
      return {"prefix", nullptr, {"plain", "\xc3\x97" "4/3", "triplet"}};
    case Quillwave::kTempoSync: return {"tempo_sync", nullptr, {}, true};
    case Quillwave::kOnOff: return {"on_off", nullptr, {}, true, "1 bypasses the effect"};
    case Quillwave::kMode: return {"mode", nullptr, {"Filter", "Pan"}};
    case Quillwave::kCutoff1:
      return {"cutoff1", nullptr, {}, false, "0..1 maps exponentially onto 125..4000 Hz"};
    case Quillwave::kCutoff2:
      return {"cutoff2", nullptr, {}, false, "0..1 maps exponentially onto 125..4000 Hz"};
    case Quillwave::kResonance: return {"resonance", nullptr, {}};
    case Quillwave::kFilterMode: return {"filter_mode", nullptr, {"LP", "BP", "Wah"}};
    default: return {"", nullptr, {}};
  }
}

std::string Number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", v);
  std::string s = text;
  if (s.find_first_of(".eE") == std::string::npos) s += ".0";
  return s;
}

std::string Prefixes() {
  return "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
         "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
         "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
         "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
         "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
         "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
         "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
         "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
         "@prefix time:  <http://lv2plug.in/ns/ext/time#> .\n"
         "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
         "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
         "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n\n";
}

std::string Manifest(const std::string& dsp, const std::string& ui) {
  std::ostringstream o;
  o << Prefixes() << "<" << kPluginUri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << dsp
    << "> ;\n    rdfs:seeAlso <Quillwave.ttl> .\n\n"
    << "<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << ui
    << "> ;\n    rdfs:seeAlso <Quillwave.ttl> .\n";
  return o.str();
}

std::string Description(const IEffectCore& effect, const std::string& ui) {
  std::ostringstream o;
  const int32_t version = effect.VersionWord();
  o << Prefixes() << "<" << kPluginUri << ">\n"
    << "    a lv2:Plugin, lv2:FilterPlugin, doap:Project ;\n"
    << "    doap:name \"" << effect.EffectName() << "\" ;\n"
    << "    doap:maintainer [ foaf:name \"" << effect.VendorName() << "\" ] ;\n"
    << "    rdfs:comment \"An automatic wah: a resonant filter swept by an oscillator, free or in "
       "tempo, with auto-pan.\" ;\n"
    << "    lv2:minorVersion " << ((version >> 8) & 0xff) * 2 << " ;\n"
    << "    lv2:microVersion " << (version & 0xff) * 2 << " ;\n"
    << "    lv2:optionalFeature lv2:hardRTCapable, urid:map, opts:options ;\n"
    << "    opts:supportedOption bufsz:maxBlockLength, bufsz:nominalBlockLength ;\n"
    << "    ui:ui <" << kUiUri << "> ;\n"
    << "    lv2:port ";
  int index = 0;
  const auto port = [&](bool first) -> std::ostringstream& {
    o << (first ? "[\n" : " , [\n");
    return o;
  };
  for (int32_t i = 0; i < effect.ParameterCount(); ++i) {
    const IParameter& p = *effect.GetParameter(i);
    const PortLook look = Look(i);
    port(i == 0) << "        a lv2:InputPort, lv2:ControlPort ;\n"
                 << "        lv2:index " << index++ << " ;\n"
                 << "        lv2:symbol \"" << look.symbol << "\" ;\n"
                 << "        lv2:name \"" << p.Name() << "\" ;\n"
                 << "        lv2:default " << Number(p.Default()) << " ;\n"
                 << "        lv2:minimum " << Number(p.Min()) << " ;\n"
                 << "        lv2:maximum " << Number(p.Max());
    if (look.unit) o << " ;\n        units:unit " << look.unit;
    if (look.comment) o << " ;\n        rdfs:comment \"" << look.comment << "\"";
    if (look.toggle) o << " ;\n        lv2:portProperty lv2:toggled";
    if (!look.choices.empty()) {
      o << " ;\n        lv2:portProperty lv2:integer, lv2:enumeration ;\n        lv2:scalePoint ";
      for (size_t c = 0; c < look.choices.size(); ++c)
        o << (c ? " , " : "") << "[ rdfs:label \"" << look.choices[c] << "\" ; rdf:value "
          << c << ".0 ]";
    }
    o << "\n    ]";
  }
  for (int32_t i = 0; i < effect.InputCount(); ++i)
    port(false) << "        a lv2:InputPort, lv2:AudioPort ;\n"
                << "        lv2:index " << index++ << " ;\n"
                << "        lv2:symbol \"in_" << (i == 0 ? "l" : "r") << "\" ;\n"
                << "        lv2:name \"Input " << (i == 0 ? "L" : "R") << "\"\n    ]";
  for (int32_t i = 0; i < effect.OutputCount(); ++i)
    port(false) << "        a lv2:OutputPort, lv2:AudioPort ;\n"
                << "        lv2:index " << index++ << " ;\n"
                << "        lv2:symbol \"out_" << (i == 0 ? "l" : "r") << "\" ;\n"
                << "        lv2:name \"Output " << (i == 0 ? "L" : "R") << "\"\n    ]";
  port(false) << "        a lv2:InputPort, atom:AtomPort ;\n"
              << "        atom:bufferType atom:Sequence ;\n"
              << "        atom:supports time:Position ;\n"
              << "        lv2:designation lv2:control ;\n"
              << "        lv2:portProperty lv2:connectionOptional ;\n"
              << "        lv2:index " << index++ << " ;\n"
              << "        lv2:symbol \"control\" ;\n"
              << "        lv2:name \"Control\"\n    ] .\n\n";
  o << "<" << kUiUri << ">\n"
    << "    a ui:X11UI ;\n"
    << "    ui:binary <" << ui << "> ;\n"
    << "    lv2:requiredFeature ui:parent ;\n"
    << "    lv2:optionalFeature ui:resize, ui:touch, ui:idleInterface ;\n"
    << "    lv2:extensionData ui:idleInterface .\n";
  return o.str();
}

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) std::cerr << "quillwave-lv2-ttl: cannot write " << path << "\n";
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: quillwave-lv2-ttl OUTPUT_DIR DSP_BINARY UI_BINARY\n";
    return 2;
  }
  const std::unique_ptr<IEffectCore> effect(CreatePluginInstance());
  if (!effect) {
    std::cerr << "quillwave-lv2-ttl: the plug-in could not be made\n";
    return 1;
  }
  const std::string dir = argv[1];
  const bool ok = Write(dir + "/manifest.ttl", Manifest(argv[2], argv[3])) &&
                  Write(dir + "/Quillwave.ttl", Description(*effect, argv[3]));
  return ok ? 0 : 1;
}
