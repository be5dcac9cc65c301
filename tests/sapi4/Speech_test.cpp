// The identifiers in Speech.h were typed in as bytes; a single wrong digit would make the engine
// and a real client miss each other without any error. Compare them with their published strings,
// read by COM's own parser.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "Speech.h"

namespace {

struct Known {
  const GUID* id;
  const wchar_t* text;
};

const Known kIdentifiers[] = {
    {&IID_ITTSEnumW, L"{6B837B20-4A47-101B-931A-00AA0047BA4F}"},
    {&IID_ITTSEnumA, L"{05EB6C6D-DBAB-11CD-B3CA-00AA0047BA4F}"},
    {&IID_ITTSFindW, L"{7AA42960-4A47-101B-931A-00AA0047BA4F}"},
    {&IID_ITTSFindA, L"{05EB6C6E-DBAB-11CD-B3CA-00AA0047BA4F}"},
    {&IID_ITTSCentralW, L"{28016060-4A47-101B-931A-00AA0047BA4F}"},
    {&IID_ITTSCentralA, L"{05EB6C6A-DBAB-11CD-B3CA-00AA0047BA4F}"},
    {&IID_ITTSAttributesW, L"{1287A280-4A47-101B-931A-00AA0047BA4F}"},
    {&IID_ITTSAttributesA, L"{0FD6E2A1-E77D-11CD-B3CA-00AA0047BA4F}"},
    {&IID_ITTSDialogsW, L"{47F59D00-4A47-101B-931A-00AA0047BA4F}"},
    {&IID_ITTSDialogsA, L"{05EB6C6B-DBAB-11CD-B3CA-00AA0047BA4F}"},
    {&IID_ITTSNotifySinkW, L"{C0FA8F40-4A46-101B-931A-00AA0047BA4F}"},
    {&IID_ITTSNotifySinkA, L"{05EB6C6F-DBAB-11CD-B3CA-00AA0047BA4F}"},
    {&IID_ITTSBufNotifySink, L"{E4963D40-C743-11CD-80E5-00AA003E4B50}"},
    {&IID_IAudio, L"{F546B340-C743-11CD-80E5-00AA003E4B50}"},
    {&IID_IAudioDest, L"{2EC34DA0-C743-11CD-80E5-00AA003E4B50}"},
    {&IID_IAudioDestNotifySink, L"{ACB08C00-C743-11CD-80E5-00AA003E4B50}"},
    {&IID_IAudioMultiMediaDevice, L"{B68AD320-C743-11CD-80E5-00AA003E4B50}"},
    {&IID_IAudioFile, L"{FD7C2320-3D6D-11B9-C000-FED6CBA3B1A9}"},
    {&IID_IAudioFileNotifySink, L"{492FE490-51E7-11B9-C000-FED6CBA3B1A9}"},
    {&IID_IVTxtNotifySinkW, L"{FD3A2430-E090-11CD-A166-00AA004CD65C}"},
    {&IID_IVTxtNotifySinkA, L"{D2C840E0-E092-11CD-A166-00AA004CD65C}"},
    {&CLSID_TTSEnumerator, L"{D67C0280-C743-11CD-80E5-00AA003E4B50}"},
    {&CLSID_MMAudioDest, L"{CB96B400-C743-11CD-80E5-00AA003E4B50}"},
    {&CLSID_AudioDestFile, L"{D4623720-E4B9-11CF-8D56-00A0C9034A7E}"},
};

TEST(SpeechIdentifiers, MatchTheirPublishedStrings) {
  for (const Known& k : kIdentifiers) {
    GUID parsed{};
    ASSERT_EQ(IIDFromString(const_cast<LPOLESTR>(k.text), &parsed), S_OK) << "cannot parse entry";
    EXPECT_EQ(std::memcmp(&parsed, k.id, sizeof(GUID)), 0) << "wrong bytes for " << k.text;
  }
}

// __uuidof() carries its own copy of each identifier; both copies must agree.
TEST(SpeechIdentifiers, UuidofAgreesWithTheNamedConstants) {
  const std::pair<const GUID*, const GUID*> pairs[] = {
      {&__uuidof(ITTSEnumW), &IID_ITTSEnumW},
      {&__uuidof(ITTSEnumA), &IID_ITTSEnumA},
      {&__uuidof(ITTSFindW), &IID_ITTSFindW},
      {&__uuidof(ITTSFindA), &IID_ITTSFindA},
      {&__uuidof(ITTSCentralW), &IID_ITTSCentralW},
      {&__uuidof(ITTSCentralA), &IID_ITTSCentralA},
      {&__uuidof(ITTSAttributesW), &IID_ITTSAttributesW},
      {&__uuidof(ITTSAttributesA), &IID_ITTSAttributesA},
      {&__uuidof(ITTSDialogsW), &IID_ITTSDialogsW},
      {&__uuidof(ITTSDialogsA), &IID_ITTSDialogsA},
      {&__uuidof(ITTSNotifySinkW), &IID_ITTSNotifySinkW},
      {&__uuidof(ITTSNotifySinkA), &IID_ITTSNotifySinkA},
      {&__uuidof(ITTSBufNotifySink), &IID_ITTSBufNotifySink},
      {&__uuidof(IAudio), &IID_IAudio},
      {&__uuidof(IAudioDest), &IID_IAudioDest},
      {&__uuidof(IAudioDestNotifySink), &IID_IAudioDestNotifySink},
      {&__uuidof(IAudioMultiMediaDevice), &IID_IAudioMultiMediaDevice},
      {&__uuidof(IAudioFile), &IID_IAudioFile},
      {&__uuidof(IAudioFileNotifySink), &IID_IAudioFileNotifySink},
  };
  for (std::size_t i = 0; i < std::size(pairs); ++i)
    EXPECT_TRUE(IsEqualIID(*pairs[i].first, *pairs[i].second)) << "entry " << i;
}

}  // namespace
