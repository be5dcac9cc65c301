// Number reading: the words for digit runs under the host's separators, and their place in a
// sentence.
#include <gtest/gtest.h>

#include "FrontEnd_Support.h"
#include "StrPlaySP_Stages.h"
#include "StrPlaySP_Text.h"

namespace kalvor {
namespace {

using test::Separators;
using test::Tr;
using test::Utf;

struct NumberCase {
  std::string_view digits, words;
};

void ExpectReadings(const NumberCase* begin, const NumberCase* end) {
  for (const NumberCase* c = begin; c != end; ++c)
    EXPECT_EQ(Utf(ReadNumber(c->digits)), c->words) << c->digits;
}

TEST(ReadNumber, IntegersByGroupsOfThree) {
  static const NumberCase kCases[] = {
      {"0", "SIFIR"},
      {"7", "YEDİ"},
      {"10", "ON"},
      {"11", "ONBİR"},
      {"100", "YÜZ"},  // never BİRYÜZ
      {"123", "YÜZYİRMİÜÇ"},
      {"999", "DOKUZYÜZDOKSANDOKUZ"},
      {"1000", "BİN"},  // never BİRBİN
      {"1001", "BİNBİR"},
      {"2000", "İKİBİN"},
      {"21000", "YİRMİBİRBİN"},
      {"101000", "YÜZBİRBİN"},
      {"1001000", "BİRMİLYONBİN"},
      {"1000001", "BİRMİLYONBİR"},  // a group of zeros says nothing
      {"1000000000", "BİRMİLYAR"},
      {"1000000000000", "BİRTRİLYON"},
      {"123456789012345",
       "YÜZYİRMİÜÇTRİLYONDÖRTYÜZELLİALTIMİLYARYEDİYÜZSEKSENDOKUZMİLYONONİKİBİNÜÇYÜZKIRKBEŞ"},
      {"999999999999999",
       "DOKUZYÜZDOKSANDOKUZTRİLYONDOKUZYÜZDOKSANDOKUZMİLYARDOKUZYÜZDOKSANDOKUZMİLYON"
       "DOKUZYÜZDOKSANDOKUZBİNDOKUZYÜZDOKSANDOKUZ"},
  };
  ExpectReadings(std::begin(kCases), std::end(kCases));
}

TEST(ReadNumber, LeadingZerosAreSpokenOneByOne) {
  static const NumberCase kCases[] = {
      {"007", "SIFIRSIFIRYEDİ"},
      {"000", "SIFIRSIFIRSIFIR"},
      {"0,05", "SIFIRVİRGÜLSIFIRBEŞ"},
      {"0000123456789012345",
       "SIFIRSIFIRSIFIRSIFIR"
       "YÜZYİRMİÜÇTRİLYONDÖRTYÜZELLİALTIMİLYARYEDİYÜZSEKSENDOKUZMİLYONONİKİBİNÜÇYÜZKIRKBEŞ"},
      // More than fifteen characters, but only one significant digit: still read in full.
      {"0000000000000000001",
       "SIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIR"
       "SIFIRSIFIRSIFIRSIFIRSIFIRBİR"},
  };
  ExpectReadings(std::begin(kCases), std::end(kCases));
}

TEST(ReadNumber, TurkishSeparators) {
  static const NumberCase kCases[] = {
      {"1.000.000", "BİRMİLYON"},
      {"3,5", "ÜÇVİRGÜLBEŞ"},
      {"3.5", "OTUZBEŞ"},  // a full stop groups thousands, wherever it stands
      {"1.234,5", "BİNİKİYÜZOTUZDÖRTVİRGÜLBEŞ"},
      {"1,2.5", "BİRVİRGÜLYİRMİBEŞ"},  // also between decimal digits
      {"1,2,3", "BİRVİRGÜLİKİVİRGÜLÜÇ"},
      {"5,", "BEŞ,"},  // a trailing decimal mark stays behind the words
      {"5.", "BEŞ"},   // a trailing thousands separator goes
      {"1,5,", "BİRVİRGÜLBEŞ,"},
      {"1 000", "BİN"},  // spaces are dropped like thousands separators
  };
  ExpectReadings(std::begin(kCases), std::end(kCases));
}

TEST(ReadNumber, SeparatorsOfOtherRegions) {
  Separators english(',', '.');
  static const NumberCase kCases[] = {
      {"3.5", "ÜÇNOKTABEŞ"},
      {"3,5", "OTUZBEŞ"},
      {"1,000.25", "BİNNOKTAYİRMİBEŞ"},
  };
  ExpectReadings(std::begin(kCases), std::end(kCases));
}

TEST(ReadNumber, ComputerSeparatorsKeepAStrayMarkBetweenTwoNumbers) {
  // A system whose thousands separator is neither the full stop nor the comma leaves a full stop
  // inside the integer part; it is read as a separator between two numbers.
  Separators spaceAndComma(' ', ',');
  static const NumberCase kCases[] = {
      {"1.5", "BİR.BEŞ"},
      {"12.05,5", "ONİKİ.SIFIRBEŞVİRGÜLBEŞ"},
      {"1 000,5", "BİNVİRGÜLBEŞ"},
  };
  ExpectReadings(std::begin(kCases), std::end(kCases));
}

// Numbers longer than the groups reach are read digit by digit, never cut or said as another
// number; decimal parts are read whole.
TEST(ReadNumber, NoDigitIsLost) {
  static const NumberCase kCases[] = {
      {"1000000000000000",
       "BİRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIRSIFIR"
       "SIFIRSIFIR"},
      {"1234567890123456", "BİRİKİÜÇDÖRTBEŞALTIYEDİSEKİZDOKUZSIFIRBİRİKİÜÇDÖRTBEŞALTI"},
      {"12345678901234567890123",
       "BİRİKİÜÇDÖRTBEŞALTIYEDİSEKİZDOKUZSIFIRBİRİKİÜÇDÖRTBEŞALTIYEDİSEKİZDOKUZSIFIR"
       "BİRİKİÜÇ"},
      {"00012345678901234567",
       "SIFIRSIFIRSIFIRBİRİKİÜÇDÖRTBEŞALTIYEDİSEKİZDOKUZSIFIRBİRİKİÜÇ"
       "DÖRTBEŞALTIYEDİ"},
      {"3,14159265", "ÜÇVİRGÜLONDÖRTMİLYONYÜZELLİDOKUZBİNİKİYÜZALTMIŞBEŞ"},
      {"0,000001", "SIFIRVİRGÜLSIFIRSIFIRSIFIRSIFIRSIFIRBİR"},
      {"1,2,3,4,5,6", "BİRVİRGÜLİKİVİRGÜLÜÇVİRGÜLDÖRTVİRGÜLBEŞVİRGÜLALTI"},
  };
  ExpectReadings(std::begin(kCases), std::end(kCases));
}

TEST(ReadNumber, LongChainOfDecimalMarks) {
  // Each decimal separator opens a deeper number; thousands of them must not exhaust anything.
  std::string run = "1";
  for (int i = 0; i < 20000; ++i) run += ",1";
  std::string words = Utf(ReadNumber(run));
  std::string one = "BİR", comma = "VİRGÜL";
  EXPECT_EQ(words.size(), 20001 * one.size() + 20000 * comma.size());
}

TEST(StringHelpers, RemoveCharAndPadLeft) {
  EXPECT_EQ(RemoveChar("1.000.000", '.'), "1000000");
  EXPECT_EQ(RemoveChar(std::string_view("a\0b.", 4), '.'), "ab");  // NUL goes too
  EXPECT_EQ(RemoveChar("", '.'), "");
  EXPECT_EQ(PadLeft("12", 5, '0'), "00012");
  EXPECT_EQ(PadLeft("123456", 5, '0'), "123456");
  EXPECT_EQ(PadLeft("", 2, '#'), "##");
}

TEST(ExpandNumbers, EveryRunInTheSentenceBecomesWords) {
  struct Case {
    std::string_view sentence, expected;
  } const kCases[] = {
      {"SAAT 3", "SAAT ÜÇ"},
      {"2005OKUL", "İKİBİNBEŞOKUL"},
      {"A1B22C333", "ABİRBYİRMİİKİCÜÇYÜZOTUZÜÇ"},
      {"5, 6.", "BEŞ, ALTI"},
      {"KİTAP", "KİTAP"},
      {"", ""},
      {"9", "DOKUZ"},
  };
  for (const Case& c : kCases) {
    TStrPlayer p;
    TStrPlayerStages::Sentence(p) = Tr(c.sentence);
    p.ExpandNumbers();
    EXPECT_EQ(Utf(p.Sentence()), c.expected) << c.sentence;
  }
}

}  // namespace
}  // namespace kalvor
