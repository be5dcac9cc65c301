// kalvor-sapi sapi5: a SAPI 5 client on the command line. It lists the voices SAPI 5 offers
// (SpObjectTokenCategory) and speaks through SpVoice, as SAPI 5 programs do, into a WAV file or
// the sound card; "check" speaks with every Kalvor voice and tells whether the audio and the
// events came, for this program's bitness and, from the 32-bit tool on 64-bit Windows, through
// the 64-bit tool beside it for the other.
#pragma once

#include <string>
#include <vector>

namespace kalvor::sapi5client {

int Run(const std::vector<std::wstring>& args);

}  // namespace kalvor::sapi5client
