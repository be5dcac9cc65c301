// The engine's two voice modes, as Next and Find describe them, and the conversions of mode
// records between the wide and the ANSI forms.
//
// The texts are Windows-1254 bytes, the engine's own code page; they are turned into wide
// characters with code page 1254 (not the system's ANSI code page), so that "Kadın" and "Türkçe"
// come out right on any system.
#pragma once

#include <string>

#include "ModeRecord.h"
#include "Speech.h"

namespace kalvor {

struct TVoiceModeRow {
  GUID ModeID;
  const char* ModeName;  // Windows-1254
  const char* Speaker;   // Windows-1254
  WORD Gender;
  const char* DataFile;  // beside the module
};

// Row 1, the male voice, is the one Next lists; row 2, the female voice, is reached through Find
// and Select only.
extern const TVoiceModeRow VoiceModeTable[2];

// The row of a mode identifier, or nullptr.
const TVoiceModeRow* VoiceModeRow(const GUID& modeId);

// The record Next and Find report for a row.
TTSMODEINFOW ModeInfoOfRow(const TVoiceModeRow& row);

// The record a selected mode reports (ModeGet): built from the identifier and the row, with the
// language, gender, age and style that Select gives it.
TTSMODEINFOW SelectedModeInfo(const TVoiceModeRow& row);

// A Windows-1254 text into a wide field of `capacity` characters (terminator included).
void Cp1254ToField(const char* text, WCHAR* field, int capacity);
// A wide field (read up to its terminator or its capacity) as Windows-1254 bytes; false when it
// holds a character that Windows-1254 has not (such a text names no mode).
bool FieldToCp1254(const WCHAR* field, int capacity, std::string& out);

// The A facets' conversions, in the system ANSI code page: the A client's own.
using sapi4::ModeInfoToAnsi;
using sapi4::ModeInfoToWide;

}  // namespace kalvor
