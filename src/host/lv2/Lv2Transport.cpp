#include "host/lv2/Lv2Transport.h"

#include <algorithm>
#include <cmath>

void Lv2Transport::Apply(const Position& p) {
  known_ = true;
  if (p.hasFrame && std::isfinite(p.frame)) frame_ = p.frame;
  if (p.hasSpeed && std::isfinite(p.speed)) speed_ = p.speed;
  if (p.hasBeatsPerBar && std::isfinite(p.beatsPerBar) && p.beatsPerBar > 0.0 &&
      p.beatsPerBar <= 1024.0)
    beatsPerBar_ = p.beatsPerBar;
  if (p.hasBeatUnit && p.beatUnit > 0 && p.beatUnit <= 1024) beatUnit_ = p.beatUnit;
  if (p.hasTempo && std::isfinite(p.tempo) && p.tempo > 0.0) tempo_ = p.tempo;
  if (p.hasBeat && std::isfinite(p.beat)) beat_ = p.beat;
  if (p.hasBar && p.hasBarBeat && std::isfinite(p.barBeat)) {
    hasBar_ = true;
    bar_ = p.bar;
    barBeat_ = p.barBeat;
    if (!p.hasBeat) beat_ = double(bar_) * beatsPerBar_ + barBeat_;
  } else if (p.hasBeat && std::isfinite(p.beat)) {
    hasBar_ = false;
  }
}

void Lv2Transport::Advance(int64_t frames, double sampleRate) {
  if (!known_ || speed_ == 0.0 || frames <= 0 || !(sampleRate > 0.0)) return;
  frame_ += double(frames) * speed_;
  const double beats = double(frames) * speed_ * tempo_ / (60.0 * sampleRate);
  beat_ += beats;
  if (!hasBar_) return;
  barBeat_ += beats;
  // Bars roll over as the host would count them; a backwards speed counts
  // them down.
  const double whole = std::floor(barBeat_ / beatsPerBar_);
  if (whole != 0.0) {
    bar_ += static_cast<int64_t>(whole);
    barBeat_ -= whole * beatsPerBar_;
  }
}

void Lv2Transport::Fill(HostTimeInfo& info) const {
  if (!known_) return;
  const double quartersPerBeat = 4.0 / beatUnit_;
  info.samplePosition = frame_;
  info.tempo = tempo_ * quartersPerBeat;
  const double beat = hasBar_ ? double(bar_) * beatsPerBar_ + barBeat_ : beat_;
  if (beat >= 0.0) info.ppqPosition = beat * quartersPerBeat;
  if (hasBar_ && bar_ >= 0) {
    info.lastBarPosition = double(bar_) * beatsPerBar_ * quartersPerBeat;
  } else if (beat >= 0.0) {
    info.lastBarPosition = std::floor(beat / beatsPerBar_) * beatsPerBar_ * quartersPerBeat;
  }
  info.numerator = static_cast<int32_t>(std::max(1L, std::lround(beatsPerBar_)));
  info.denominator = beatUnit_;
  info.playing = speed_ != 0.0;
}
