// kalvor-reg's registration, in a scratch key of the current user instead of HKLM\SOFTWARE, so
// that the cases can set up what a machine may already hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "KalvorIds.h"
#include "Registration.h"
#include "Sapi5Voices.h"
#include "Speech.h"

namespace {

namespace fs = std::filesystem;
using kalvor::reg::RegError;
using kalvor::reg::TRegistryRoot;

const wchar_t kScratch[] = L"Software\\KalvorRegistrationTest";

TRegistryRoot Scratch() {
  TRegistryRoot root;
  root.Key = HKEY_CURRENT_USER;
  root.KeyName = L"HKEY_CURRENT_USER";
  root.Software = kScratch;
  return root;
}

void SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
}

bool HasValue(const std::wstring& key, const wchar_t* name) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  const bool has = RegQueryValueExW(h, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(h);
  return has;
}

const std::wstring kEngineList = std::wstring(kScratch) + L"\\Voice\\TextToSpeech\\Engine";
std::wstring ClassServerKey(const GUID& clsid) {
  return std::wstring(kScratch) + L"\\Classes\\CLSID\\" + kalvor::reg::GuidText(clsid) +
         L"\\InprocServer32";
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch); }
  TRegistryRoot root = Scratch();
};

TEST_F(RegistrationTest, TheEngineGoesInAndOutWithItsEngineListEntry) {
  const std::wstring dll = L"C:\\Program Files\\Kalvor\\Kalvor.dll";
  SetValue(kEngineList, L"Other engine", L"{11111111-2222-3333-4444-555555555555}");
  EXPECT_FALSE(kalvor::reg::EngineListed(root));
  kalvor::reg::RegisterEngine(root, dll);
  EXPECT_EQ(kalvor::reg::ServerPath(root, kalvor::CLSID_KalvorEngine).value_or(L""), dll);
  EXPECT_EQ(kalvor::reg::ThreadingModel(root, kalvor::CLSID_KalvorEngine).value_or(L""),
            L"Apartment");
  EXPECT_TRUE(kalvor::reg::EngineListed(root));
  EXPECT_TRUE(HasValue(kEngineList, L"Kalvor"));
  // Registering again changes nothing but the path.
  kalvor::reg::RegisterEngine(root, L"D:\\Kalvor.dll");
  EXPECT_EQ(kalvor::reg::ServerPath(root, kalvor::CLSID_KalvorEngine).value_or(L""),
            L"D:\\Kalvor.dll");

  // An entry for the engine under another name (an older installation) goes too; other engines
  // stay.
  SetValue(kEngineList, L"Kalvor (old)", L"{e9214560-a13d-11d2-9139-b95d811e54ff}");
  kalvor::reg::UnregisterEngine(root);
  EXPECT_FALSE(kalvor::reg::ServerPath(root, kalvor::CLSID_KalvorEngine));
  EXPECT_FALSE(kalvor::reg::EngineListed(root));
  EXPECT_FALSE(HasValue(kEngineList, L"Kalvor (old)"));
  EXPECT_TRUE(HasValue(kEngineList, L"Other engine"));
  kalvor::reg::UnregisterEngine(root);  // nothing left to remove: no error
}

TEST_F(RegistrationTest, TheStandInRunTimeNeverGoesOverAForeignOne) {
  const std::wstring ours = L"C:\\test\\sapi4rt.dll";
  kalvor::reg::RegisterRuntime(root, ours, false);
  EXPECT_EQ(kalvor::reg::ServerPath(root, CLSID_TTSEnumerator).value_or(L""), ours);
  EXPECT_EQ(kalvor::reg::ServerPath(root, CLSID_MMAudioDest).value_or(L""), ours);
  EXPECT_EQ(kalvor::reg::ThreadingModel(root, CLSID_MMAudioDest).value_or(L""), L"Apartment");
  // Another build's stand-in is replaced without asking.
  kalvor::reg::RegisterRuntime(root, L"D:\\other\\SAPI4RT.DLL", false);

  SetValue(ClassServerKey(CLSID_TTSEnumerator), nullptr, L"C:\\Windows\\speech\\vcmshl.dll");
  try {
    kalvor::reg::RegisterRuntime(root, ours, false);
    ADD_FAILURE() << "registered over a foreign run time";
  } catch (const RegError& e) {
    EXPECT_NE(e.Message.find(L"vcmshl.dll"), std::wstring::npos);
  }
  EXPECT_THROW(kalvor::reg::UnregisterRuntime(root, false), RegError);
  EXPECT_EQ(kalvor::reg::ServerPath(root, CLSID_TTSEnumerator).value_or(L""),
            L"C:\\Windows\\speech\\vcmshl.dll");
  kalvor::reg::RegisterRuntime(root, ours, true);
  EXPECT_EQ(kalvor::reg::ServerPath(root, CLSID_TTSEnumerator).value_or(L""), ours);
  kalvor::reg::UnregisterRuntime(root, false);
  EXPECT_FALSE(kalvor::reg::ServerPath(root, CLSID_TTSEnumerator));
  EXPECT_FALSE(kalvor::reg::ServerPath(root, CLSID_MMAudioDest));
}

TEST_F(RegistrationTest, AKeyThatCannotBeWrittenIsNamedInTheError) {
  TRegistryRoot broken = root;
  broken.Key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7A7A));  // no such handle
  broken.KeyName = L"HKEY_TEST_ROOT";
  try {
    kalvor::reg::RegisterEngine(broken, L"C:\\Kalvor.dll");
    ADD_FAILURE() << "wrote under a key that does not exist";
  } catch (const RegError& e) {
    EXPECT_NE(e.Message.find(L"cannot write HKEY_TEST_ROOT\\Software\\KalvorRegistrationTest"),
              std::wstring::npos)
        << std::string(e.Message.begin(), e.Message.end());
  }
}

// The value of a scratch key, or "(none)".
std::wstring ValueOf(const std::wstring& key, const wchar_t* name) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return L"(none)";
  wchar_t buf[512] = {};
  DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
  const LONG r = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  return r == ERROR_SUCCESS && type == REG_SZ ? std::wstring(buf) : L"(none)";
}

TEST_F(RegistrationTest, SapiFiveVoiceTokensGoInAndOutWithTheEngine) {
  const std::wstring dll = L"C:\\Program Files\\Kalvor\\Kalvor64.dll";
  // A voice of another maker under a name of its own stays whatever happens to ours.
  const std::wstring tokens = std::wstring(kScratch) + L"\\Microsoft\\Speech\\Voices\\Tokens";
  SetValue(tokens + L"\\Other", L"CLSID", L"{00000000-1111-2222-3333-444444444444}");

  kalvor::reg::RegisterEngine(root, dll);
  EXPECT_EQ(kalvor::reg::ServerPath(root, kalvor::CLSID_KalvorSapi5Engine), dll);
  EXPECT_EQ(kalvor::reg::ThreadingModel(root, kalvor::CLSID_KalvorSapi5Engine), L"Both");
  EXPECT_EQ(kalvor::reg::ListedVoiceTokens(root),
            (std::vector<std::wstring>{L"Kalvor-Tarpek", L"Kalvor-Nilvo"}));
  struct Row {
    const wchar_t *token, *display, *name, *gender, *file;
  };
  for (const Row& r : {Row{L"Kalvor-Tarpek", L"Kalvor Tarpek - T\u00FCrk\u00E7e", L"Tarpek",
                           L"Male", L"ORVDAT1.SPD"},
                       Row{L"Kalvor-Nilvo", L"Kalvor Nilvo - T\u00FCrk\u00E7e", L"Nilvo", L"Female",
                           L"ORVDAT2.SPD"}}) {
    const std::wstring key = tokens + L"\\" + r.token;
    EXPECT_EQ(key, kScratch + (L"\\" + kalvor::reg::VoiceTokenKey(root, r.token)
                                           .substr(std::wstring(kScratch).size() + 1)));
    EXPECT_EQ(ValueOf(key, nullptr), r.display);
    EXPECT_EQ(ValueOf(key, L"41F"), r.display);
    EXPECT_EQ(ValueOf(key, L"CLSID"), kalvor::reg::GuidText(kalvor::CLSID_KalvorSapi5Engine));
    EXPECT_EQ(ValueOf(key, L"VoiceFile"), r.file);
    const std::wstring a = key + L"\\Attributes";
    EXPECT_EQ(ValueOf(a, L"Language"), L"41F");
    EXPECT_EQ(ValueOf(a, L"Gender"), r.gender);
    EXPECT_EQ(ValueOf(a, L"Age"), L"Adult");
    EXPECT_EQ(ValueOf(a, L"Name"), r.name);
    EXPECT_EQ(ValueOf(a, L"Vendor"), L"Kalvor");
  }

  kalvor::reg::UnregisterEngine(root);
  EXPECT_FALSE(kalvor::reg::ServerPath(root, kalvor::CLSID_KalvorSapi5Engine));
  EXPECT_TRUE(kalvor::reg::ListedVoiceTokens(root).empty());
  EXPECT_EQ(ValueOf(tokens + L"\\Kalvor-Tarpek", nullptr), L"(none)");
  EXPECT_TRUE(HasValue(tokens + L"\\Other", L"CLSID"));
}

TEST(RegFile, InstallAndUninstallTextsForRegedit) {
  const std::wstring install =
      kalvor::reg::RegFileText(true, L"C:\\Kalvor\\Kalvor.dll", L"C:\\Kalvor\\sapi4rt.dll");
  const std::wstring engineKey =
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{E9214560-A13D-11D2-9139-B95D811E54FF}";
  for (const std::wstring& line :
       {std::wstring(L"Windows Registry Editor Version 5.00\r\n"), engineKey + L"]\r\n",
        engineKey + L"\\InprocServer32]\r\n@=\"C:\\\\Kalvor\\\\Kalvor.dll\"\r\n",
        std::wstring(L"\"ThreadingModel\"=\"Apartment\"\r\n"),
        std::wstring(L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Voice\\TextToSpeech\\Engine]\r\n"
                     L"\"Kalvor\"=\"{E9214560-A13D-11D2-9139-B95D811E54FF}\"\r\n"),
        std::wstring(L"{D67C0280-C743-11CD-80E5-00AA003E4B50}\\InprocServer32]\r\n"
                     L"@=\"C:\\\\Kalvor\\\\sapi4rt.dll\"")})
    EXPECT_NE(install.find(line), std::wstring::npos) << std::string(line.begin(), line.end());
  EXPECT_EQ(kalvor::reg::RegFileText(true, L"C:\\Kalvor.dll", L"").find(L"D67C0280"),
            std::wstring::npos)
      << "the run time only when asked for";

  const std::wstring uninstall = kalvor::reg::RegFileText(false, L"", L"-");
  EXPECT_NE(uninstall.find(L"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{E9214560"),
            std::wstring::npos);
  EXPECT_NE(uninstall.find(L"\"Kalvor\"=-\r\n"), std::wstring::npos);
  EXPECT_NE(uninstall.find(L"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{D67C0280"),
            std::wstring::npos);

  // The SAPI 5 class and voices come and go with the engine.
  const std::wstring token =
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\Kalvor-Nilvo";
  for (const std::wstring& line :
       {std::wstring(L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\"
                     L"{B59D7F8A-FCC9-4B1E-A955-3A431FBD6C9A}\\InprocServer32]\r\n"
                     L"@=\"C:\\\\Kalvor\\\\Kalvor.dll\"\r\n"),
        token + L"]\r\n@=\"Kalvor Nilvo - T\u00FCrk\u00E7e\"\r\n",
        std::wstring(L"\"CLSID\"=\"{B59D7F8A-FCC9-4B1E-A955-3A431FBD6C9A}\"\r\n"
                     L"\"VoiceFile\"=\"ORVDAT2.SPD\"\r\n"),
        token + L"\\Attributes]\r\n\"Language\"=\"41F\"\r\n\"Gender\"=\"Female\"\r\n"
                L"\"Age\"=\"Adult\"\r\n\"Name\"=\"Nilvo\"\r\n\"Vendor\"=\"Kalvor\"\r\n"})
    EXPECT_NE(install.find(line), std::wstring::npos) << std::string(line.begin(), line.end());
  EXPECT_NE(uninstall.find(L"[-" + token.substr(1) + L"]"), std::wstring::npos);
  EXPECT_NE(uninstall.find(L"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{B59D7F8A"),
            std::wstring::npos);
}

TEST(DllChecks, TheMachineOfTheEngineAndAClearErrorForWhatIsNoDll) {
  wchar_t self[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  const fs::path dir = fs::path(std::wstring(self, n)).parent_path();
  const WORD machine = kalvor::reg::DllMachine((dir / "Kalvor.dll").wstring());
#ifdef _WIN64
  EXPECT_EQ(machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(kalvor::reg::ViewForMachine(machine), static_cast<REGSAM>(KEY_WOW64_64KEY));
#else
  EXPECT_EQ(machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(kalvor::reg::ViewForMachine(machine), static_cast<REGSAM>(KEY_WOW64_32KEY));
#endif
  EXPECT_THROW(kalvor::reg::DllMachine((dir / "ORVDAT1.SPD.none").wstring()), RegError);
  try {
    kalvor::reg::DllMachine(std::wstring(self, n));  // a program, not a DLL
    ADD_FAILURE();
  } catch (const RegError& e) {
    EXPECT_NE(e.Message.find(L"is not a Windows DLL"), std::wstring::npos);
  }
  EXPECT_THROW(kalvor::reg::FullPath((dir / "no such file.dll").wstring()), RegError);
}

}  // namespace
