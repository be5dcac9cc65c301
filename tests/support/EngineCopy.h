// A copy of Kalvor.dll in a folder of its own with a synthetic voice beside it under both voice
// file names, loaded as a COM server: the engine as a SAPI run time finds it, but with a voice
// whose samples tell the tests which unit they came from.
#pragma once

#include "ComTestSupport.h"
#include "SyntheticVoice.h"

namespace kalvor::test {

struct TEngineCopy : TComServerDll {
  TempDir dir;

  explicit TEngineCopy(const SyntheticVoice& voice) {
    std::filesystem::copy_file(ProgramDir() / "Kalvor.dll", dir / "Kalvor.dll");
    voice.WriteTo(dir.Path(), "ORVDAT1.SPD");
    voice.WriteTo(dir.Path(), "ORVDAT2.SPD");
    Load(dir / "Kalvor.dll");
  }
};

}  // namespace kalvor::test
