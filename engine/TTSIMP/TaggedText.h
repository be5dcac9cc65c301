// Text that a SAPI 4 client hands over as tagged (TTSDATAFLAG_TAGGED): control tags between
// backslashes, "\name\" or "\name=value\" with the name in any case, are taken out of the text and
// never spoken; "\\" stands for one backslash. What is left is spoken as one text, exactly as if
// the tags had never been there, and the tags act at their places in it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Speech.h"

namespace kalvor {

struct TTextTag {
  enum TKind {
    Mark,    // \Mrk=N\: the client's bookmark N
    Pause,   // \Pau=N\: N milliseconds of silence
    Pitch,   // \Pit=N\: as ITTSAttributes::PitchSet(N)
    Volume,  // \Vol=N\: as VolumeSet(N)
    Speed,   // \Spd=N\: as SpeedSet(N)
    Reset,   // \Rst\: pitch, speed and volume as they were when the text began
  };
  TKind Kind;
  DWORD Value;           // 0 for Reset; numbers beyond 32 bits are cut to 0xFFFFFFFF
  std::size_t Position;  // characters of Plain before the tag
};

struct TTaggedText {
  std::wstring Plain;
  std::vector<TTextTag> Tags;  // in text order
};

// Every other tag (\Chr=...\, \Emp\, \RmS=1\, \Ctx=...\, unknown names, a known name without a
// usable number) is dropped without a trace, and so is a tag that is never closed.
TTaggedText ParseTaggedText(std::wstring_view text);

}  // namespace kalvor
