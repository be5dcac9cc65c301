// Tagged texts: what the tags do at their places in the text, and the client's marks, which come
// back from the audio destination when playback reaches them.
//
// A mark goes into the audio stream through the destination's own bookmarks, so that it is
// reported when it is heard, not when it is synthesized. Its identifier lies above the letters'
// (kFirstClientMarkId), whose bookmarks carry the mouth shapes, so the two never mix.
#include <algorithm>

#include "ComEntry.h"
#include "SpcMode.h"

namespace kalvor {
namespace {

// The longest pause a tag asks for: a minute, not the gigabytes a 32-bit count could want.
constexpr DWORD kMaxTagPauseMs = 60000;
// A destination whose position stands still this long while marks are outstanding will not
// report them: the text ends without them.
constexpr ULONGLONG kMarkWaitIdleMs = 3000;

}  // namespace

void TSpcMode::ApplyTag(TSpeakCall& call, TTagState& state, const TTextTag& tag) {
  if (call.Ended) return;
  switch (tag.Kind) {
    case TTextTag::Mark: {
      // Only a buffer sink hears of marks.
      ITTSBufNotifySink* sink = call.HasEntry ? call.Entry->BufSink : nullptr;
      if (!sink) return;
      TClientMark m;
      m.Serial = call.Serial;
      m.Sink = sink;
      m.MarkNum = tag.Value;
      AddClientMark(m);
      return;
    }
    case TTextTag::Pause: {
      struct TagPause {
        bool& flag;
        explicit TagPause(bool& f) : flag(f) { flag = true; }
        ~TagPause() { flag = false; }
        TagPause(const TagPause&) = delete;
        TagPause& operator=(const TagPause&) = delete;
      } tagPause(FTagPause);
      FPlayer->EmitPause(static_cast<std::int32_t>(std::min(tag.Value, kMaxTagPauseMs)));
      return;
    }
    case TTextTag::Pitch:
      PitchSet(static_cast<WORD>(std::min<DWORD>(tag.Value, 0xFFFF)));
      return;
    case TTextTag::Speed:
      SpeedSet(tag.Value);
      return;
    case TTextTag::Volume:
      // The level changes when playback gets there, not while the audio before it still plays.
      AddVolumeChange(call.Serial, VolumeLevel(tag.Value));
      return;
    case TTextTag::Reset:
      FPlayer->SetHiz(state.Hiz);
      PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_PITCH, 0);
      SpeedSet(state.Speed);
      if (state.HasLevel) AddVolumeChange(call.Serial, state.Level);
      return;
  }
}

void TSpcMode::AddClientMark(TClientMark mark) {
  mark.Id = FNextClientMarkId;
  FNextClientMarkId = FNextClientMarkId == 0xFFFFFFFFu ? kFirstClientMarkId : FNextClientMarkId + 1;
  FClientMarks.reserve(FClientMarks.size() + 1);  // nothing below can fail
  if (mark.Sink) mark.Sink->AddRef();
  FClientMarks.push_back(mark);
}

void TSpcMode::AddVolumeChange(DWORD serial, DWORD level) {
  TClientMark m;
  m.Serial = serial;
  m.IsVolume = true;
  m.Level = level;
  AddClientMark(m);
}

bool TSpcMode::HasClientMarks(DWORD serial) const {
  return std::any_of(FClientMarks.begin(), FClientMarks.end(),
                     [serial](const TClientMark& m) { return m.Serial == serial; });
}

void TSpcMode::PlaceClientMarks(DWORD serial) {
  for (std::size_t i = 0; i < FClientMarks.size(); ++i) {
    TClientMark& m = FClientMarks[i];
    if (m.Serial != serial || m.Placed) continue;
    m.Placed = true;
    m.Position = TimeStamp();
    // A mark the destination refuses would never come back: it is reported at once instead.
    if (FAILED(FAudioDest->BookMark(m.Id))) {
      DeliverClientMark(i);
      i = static_cast<std::size_t>(-1);  // the table may have changed under the sink's call
    }
  }
}

void TSpcMode::AwaitClientMarks(TSpeakCall& call) {
  if (!HasClientMarks(call.Serial)) return;
  // A text that gave the destination no audio has nothing to be heard: its marks are due now.
  if (!call.Wrote) {
    for (std::size_t i = 0; i < FClientMarks.size();) {
      if (call.Ended) return;
      if (FClientMarks[i].Serial != call.Serial) {
        ++i;
        continue;
      }
      FClientMarks[i].Position = TimeStamp();
      DeliverClientMark(i);
      i = 0;
    }
    return;
  }
  PlaceClientMarks(call.Serial);
  QWORD lastPosn = 0;
  bool havePosn = false;
  ULONGLONG idleSince = GetTickCount64();
  while (!call.Ended && HasClientMarks(call.Serial)) {
    const ULONGLONG now = GetTickCount64();
    QWORD posn = 0;
    const bool moved = FAudio->PosnGet(&posn) == S_OK && (!havePosn || posn != lastPosn);
    if (moved || FAudioPaused) {
      lastPosn = posn;
      havePosn = true;
      idleSince = now;
    } else if (now - idleSince > kMarkWaitIdleMs) {
      return;
    }
    PumpMessages();
  }
}

void TSpcMode::ClientMarkReached(DWORD id, bool flushed) {
  const auto it = std::find_if(FClientMarks.begin(), FClientMarks.end(),
                               [id](const TClientMark& m) { return m.Id == id; });
  if (it == FClientMarks.end()) return;  // dropped already, or not ours
  if (flushed) {
    // Flushed unplayed: it will not be heard. Only this one goes; the reset that flushed it drops
    // the rest of its text.
    TClientMark m = *it;
    FClientMarks.erase(it);
    if (m.IsVolume) FAudio->LevelSet(m.Level);
    if (m.Sink) m.Sink->Release();
    return;
  }
  // Reported in the order they were placed: one that the destination skipped comes first.
  for (;;) {
    const auto first = std::find_if(FClientMarks.begin(), FClientMarks.end(),
                                    [](const TClientMark& m) { return m.Placed; });
    if (first == FClientMarks.end()) return;
    const bool last = first->Id == id;
    DeliverClientMark(static_cast<std::size_t>(first - FClientMarks.begin()));
    if (last) return;
    if (std::none_of(FClientMarks.begin(), FClientMarks.end(),
                     [id](const TClientMark& m) { return m.Id == id; }))
      return;  // the sink's call dropped it
  }
}

void TSpcMode::DeliverClientMark(std::size_t index) {
  const TClientMark m = FClientMarks[index];
  FClientMarks.erase(FClientMarks.begin() + static_cast<std::ptrdiff_t>(index));
  if (m.IsVolume) {
    FAudio->LevelSet(m.Level);
    PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_VOLUME, 0);
    return;
  }
  const TCallingOut callingOut(FCallingOut);  // the sink may let go of the mode
  const TComRef<ITTSBufNotifySink> sink(m.Sink, false);
  if (sink) sink->BookMark(m.Position, m.MarkNum);
}

void TSpcMode::DropClientMarks(bool all, DWORD serial) {
  std::vector<TClientMark> dropped;
  for (auto it = FClientMarks.begin(); it != FClientMarks.end();) {
    if (all || it->Serial == serial) {
      dropped.push_back(*it);
      it = FClientMarks.erase(it);
    } else {
      ++it;
    }
  }
  for (const TClientMark& m : dropped) {
    // The client asked for that volume; only the moment is lost.
    if (m.IsVolume) FAudio->LevelSet(m.Level);
    if (m.Sink) m.Sink->Release();
  }
}

}  // namespace kalvor
