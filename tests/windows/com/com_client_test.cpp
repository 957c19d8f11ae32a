// A host program and a script, as real COM clients of the registered
// KB6TRAY.exe: registration keys, clsApplication through its dual interface
// and by name, a timer cycle on a demo club file, the close and the server's
// end, and clsAufgaben's SetTrayText event at a connected sink.
#include <gtest/gtest.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "com_client_support.h"
#include "platform/windows/text_windows.h"

namespace kb6test {
namespace {

const wchar_t* const kTopKeys[] = {
    L"KB6TRAY.clsApplication",
    L"KB6TRAY.clsAufgaben",
    L"CLSID\\{F7564374-D03C-42A9-A1D0-6898B6916CE0}",
    L"CLSID\\{486A222A-0DEA-4F30-8E6A-4312FED26EFA}",
    L"Interface\\{3E4965EC-6006-4448-810C-2FAFC68168F4}",
    L"Interface\\{2E1E9A2B-CFCC-4F15-880F-9EA6D143830D}",
    L"Interface\\{8AD772DC-81CE-4533-9E97-326A219C0FCD}",
    L"TypeLib\\{C9EB92F5-95A6-40C2-A9BC-02FCD6750568}",
};

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  const std::wstring path = L"Software\\Classes\\" + key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

std::wstring DefaultValue(HKEY root, const std::wstring& key) {
  const std::wstring path = L"Software\\Classes\\" + key;
  wchar_t buffer[1024] = {};
  DWORD size = sizeof buffer;
  if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return L"<none>";
  return buffer;
}

struct Apartment {
  Apartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~Apartment() { CoUninitialize(); }
};

// The test settings reach the server: COM starts it as our child.
void ShortTimers() {
  SetEnvironmentVariableW(L"KB6TRAY_TIMER_MS", L"300");
  SetEnvironmentVariableW(L"KB6TRAY_PROGRESS_PAUSE", L"0");
}

ComPtr<_clsApplication> CreateApplication() {
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(L"KB6TRAY.clsApplication", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_clsApplication));
  ComPtr<_clsApplication> app;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID__clsApplication,
                             reinterpret_cast<void**>(app.GetAddressOf())),
            S_OK);
  return app;
}

VARIANT TextVariant(BSTR s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = s;
  return v;
}

int CountEnding(const std::vector<std::string>& lines, const std::string& tail) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [&](const std::string& l) { return l.ends_with(tail); }));
}

// --- Registration ---

struct ScopeCase {
  const wchar_t* name;
  HKEY root;
  const wchar_t* option;
};

TEST(ComRegistration, RegServerWritesEveryKeyAndUnregServerLeavesNoneBehind) {
  const ScopeCase cases[] = {{L"per user", HKEY_CURRENT_USER, L""},
                             {L"machine-wide", HKEY_LOCAL_MACHINE, L" /AllUsers"}};
  const std::wstring quoted = L"\"" + ServerPath() + L"\"";
  for (const auto& c : cases) {
    SCOPED_TRACE(kb6::Utf8FromWide(c.name));
    ASSERT_EQ(RunServer(std::wstring(L"/RegServer") + c.option), 0u);
    for (const wchar_t* key : kTopKeys)
      EXPECT_TRUE(KeyExists(c.root, key)) << kb6::Utf8FromWide(key);
    EXPECT_EQ(DefaultValue(c.root, L"KB6TRAY.clsApplication\\CLSID"),
              L"{F7564374-D03C-42A9-A1D0-6898B6916CE0}");
    EXPECT_EQ(DefaultValue(c.root, L"CLSID\\{F7564374-D03C-42A9-A1D0-6898B6916CE0}\\LocalServer32"),
              quoted);
    EXPECT_EQ(DefaultValue(c.root, L"CLSID\\{486A222A-0DEA-4F30-8E6A-4312FED26EFA}\\LocalServer32"),
              quoted);
    EXPECT_EQ(
        DefaultValue(c.root, L"TypeLib\\{C9EB92F5-95A6-40C2-A9BC-02FCD6750568}\\1.0\\0\\win64"),
        ServerPath());
    EXPECT_EQ(DefaultValue(c.root,
                           L"Interface\\{3E4965EC-6006-4448-810C-2FAFC68168F4}\\ProxyStubClsid32"),
              L"{00020424-0000-0000-C000-000000000046}");

    ASSERT_EQ(RunServer(std::wstring(L"/UnregServer") + c.option), 0u);
    for (const wchar_t* key : kTopKeys)
      EXPECT_FALSE(KeyExists(c.root, key)) << kb6::Utf8FromWide(key);
    // Unregistering twice is no failure.
    EXPECT_EQ(RunServer(std::wstring(L"/UnregServer") + c.option), 0u);
  }
}

// --- Clients (Wine's COM sees only the machine-wide registration) ---

class ComClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunServer(L"/RegServer /AllUsers"), 0u);
    ShortTimers();
  }
  void TearDown() override { EXPECT_EQ(RunServer(L"/UnregServer /AllUsers"), 0u); }
};

TEST_F(ComClient, HostWritesPropertiesBothWaysRunsACycleClosesAndTheServerEnds) {
  Apartment apartment;
  Scratch scratch;
  const std::wstring data = scratch.dir + L"\\Daten";
  const std::wstring elsewhere = scratch.dir + L"\\Anderswo";
  ComPtr<_clsApplication> app = CreateApplication();
  ASSERT_TRUE(app);
  ComPtr<IDispatch> script;
  ASSERT_EQ(app.As(&script), S_OK);

  // Each property the cycle reads is written wrongly one way and then
  // rightly the other way: the cycle can only succeed if both ways arrive.
  Text wrong_path(elsewhere), right_path(data);
  Text missing(scratch.dir + L"\\fehlt.db"), club(scratch.club);
  Text sql_host(L"kb6-kein-server"), lokal(L"lokal");
  Text db(L"KB6"), user(L"kb6user"), password(L"geheim");
  LONG version = 60100;
  ASSERT_EQ(PutByName(script.Get(), L"Datenpfad", TextVariant(wrong_path.get())), S_OK);
  ASSERT_EQ(app->put_Datenpfad(right_path.ref()), S_OK);
  ASSERT_EQ(app->put_AccessDatenbank(missing.ref()), S_OK);
  ASSERT_EQ(PutByName(script.Get(), L"AccessDatenbank", TextVariant(club.get())), S_OK);
  ASSERT_EQ(PutByName(script.Get(), L"SQLServer_Host", TextVariant(sql_host.get())), S_OK);
  ASSERT_EQ(app->put_SQLServer_Host(lokal.ref()), S_OK);
  // Not read with the embedded default: they must be accepted both ways.
  ASSERT_EQ(app->put_Programmversion(&version), S_OK);
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  number.lVal = 60101;
  EXPECT_EQ(PutByName(script.Get(), L"Programmversion", number), S_OK);
  for (auto* t : {&db, &user, &password}) {
    const wchar_t* names[] = {L"SQLServer_DB", L"SQLServer_User", L"SQLServer_Passwort"};
    const size_t i = t == &db ? 0 : t == &user ? 1 : 2;
    EXPECT_EQ(PutByName(script.Get(), names[i], TextVariant(t->get())), S_OK);
  }
  EXPECT_EQ(app->put_SQLServer_DB(db.ref()), S_OK);
  EXPECT_EQ(app->put_SQLServer_User(user.ref()), S_OK);
  EXPECT_EQ(app->put_SQLServer_Passwort(password.ref()), S_OK);
  // An unknown name is refused, as a script would see it.
  EXPECT_EQ(PutByName(script.Get(), L"Kennwort", TextVariant(db.get())), DISP_E_UNKNOWNNAME);

  // A pending close is withdrawn by ShowTrayicon; by name, as a script calls it.
  ASSERT_EQ(app->CloseTrayIcon(), S_OK);
  VARIANT ignored;
  VariantInit(&ignored);
  ASSERT_EQ(CallByName(script.Get(), L"ShowTrayicon", &ignored), S_OK);
  HANDLE server = OpenServerProcess();
  ASSERT_NE(server, nullptr);

  ASSERT_TRUE(WaitForRunEnds(data, 3)) << "no full cycle in the log below the Datenpfad";
  const std::vector<std::string> lines = LogLines(data);
  EXPECT_TRUE(LogLines(elsewhere).empty());
  // For the record of the run: what the cycle wrote.
  for (const auto& line : lines) std::cout << "  log: " << line << "\n";
  for (const char* result : {"Es wurden 300 Adresse(n) aktualisiert.",
                             "Es wurde(n) bei 300 Adresse(n) die Übersicht aktualisiert.",
                             "Es wurden 300 Adresse(n) im Komplettlauf aktualisiert."})
    EXPECT_EQ(std::count(lines.begin(), lines.end(), result), 1) << result;
  EXPECT_EQ(CountEnding(lines, " wird gestartet ..."), 3);
  const TableRows rows = ReadLogTable(scratch.club);
  EXPECT_EQ(rows.entries, lines);
  ASSERT_EQ(rows.guids.size(), 1u);
  EXPECT_EQ(rows.guids[0].size(), 38u);  // {8-4-4-4-12}

  // The server outlives neither the close nor the last reference.
  ASSERT_EQ(app->CloseTrayIcon(), S_OK);
  script.Reset();
  app.Reset();
  EXPECT_TRUE(WaitForExit(server));
  DWORD code = 1;
  GetExitCodeProcess(server, &code);
  EXPECT_EQ(code, 0u);
  std::cout << "  server ended with exit code " << code << "\n";
  CloseHandle(server);
  // Later cycles found nothing due: the log holds one cycle only.
  EXPECT_EQ(LogLines(data), lines);
}

// A sink of clsAufgaben's events, as a host's WithEvents variable.
class TrayTextSink final : public IDispatch {
 public:
  struct Event {
    std::string text, part;
  };
  std::vector<Event> events;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___clsAufgaben) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the test's stack, longer than every connection.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (id != 1 || !params || params->cArgs != 2) return DISP_E_MEMBERNOTFOUND;
    auto text = [](const VARIANT& v) {
      if (v.vt != (VT_BSTR | VT_BYREF) || !v.pbstrVal || !*v.pbstrVal) return std::string("?");
      return kb6::Utf8FromWide(std::wstring(*v.pbstrVal, SysStringLen(*v.pbstrVal)));
    };
    events.push_back({text(params->rgvarg[1]), text(params->rgvarg[0])});
    return S_OK;
  }
};

TEST_F(ComClient, ConnectedSinkReceivesTheProgressTextsOfAJob) {
  Apartment apartment;
  Scratch scratch;
  ComPtr<_clsApplication> app = CreateApplication();
  ASSERT_TRUE(app);
  Text data(scratch.dir), club(scratch.club), lokal(L"lokal");
  app->put_Datenpfad(data.ref());
  app->put_AccessDatenbank(club.ref());
  app->put_SQLServer_Host(lokal.ref());
  ASSERT_EQ(app->ShowTrayicon(), S_OK);
  HANDLE server = OpenServerProcess();
  ASSERT_NE(server, nullptr);
  // The first cycle sets the back end's kind; the job then connects itself.
  ASSERT_TRUE(WaitForRunEnds(scratch.dir, 3));

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"KB6TRAY.clsAufgaben", &clsid), S_OK);
  ComPtr<_clsAufgaben> jobs;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID__clsAufgaben,
                             reinterpret_cast<void**>(jobs.GetAddressOf())),
            S_OK);
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(jobs.As(&container), S_OK);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(DIID___clsAufgaben, &point), S_OK);
  TrayTextSink sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);

  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(jobs->gfUpdateAdressen(&result), S_OK);
  EXPECT_EQ(result.vt, VT_EMPTY);
  ASSERT_EQ(sink.events.size(), 4u);
  EXPECT_EQ(sink.events[0].text, "Es werden nun 300 Datensätze verarbeitet ...");
  EXPECT_EQ(sink.events[1].text, "Datensatz 100 von 300 wird verarbeitet ...");
  EXPECT_EQ(sink.events[2].text, "Datensatz 200 von 300 wird verarbeitet ...");
  EXPECT_EQ(sink.events[3].text, "Datensatz 300 von 300 wird verarbeitet ...");
  for (const auto& e : sink.events) {
    EXPECT_EQ(e.part, "01TG");
    std::cout << "  SetTrayText: \"" << e.text << "\", \"" << e.part << "\"\n";
  }

  // Late bound, as a script calls it: the success flag comes back.
  sink.events.clear();
  ComPtr<IDispatch> script;
  ASSERT_EQ(jobs.As(&script), S_OK);
  ASSERT_EQ(CallByName(script.Get(), L"gfRefreshAbteilungsuebersicht", &result), S_OK);
  EXPECT_EQ(result.vt, VT_BOOL);
  EXPECT_EQ(result.boolVal, VARIANT_TRUE);
  ASSERT_FALSE(sink.events.empty());
  EXPECT_EQ(sink.events[0].part, "07TG");

  // Disconnected, the sink hears nothing more.
  ASSERT_EQ(point->Unadvise(cookie), S_OK);
  sink.events.clear();
  ASSERT_EQ(jobs->gfUpdateAbteilungen(&result), S_OK);
  EXPECT_TRUE(sink.events.empty());
  const std::vector<std::string> lines = LogLines(scratch.dir);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Es wurden 300 Adresse(n) aktualisiert."), 2);

  point.Reset();
  container.Reset();
  script.Reset();
  jobs.Reset();
  app->CloseTrayIcon();
  app.Reset();
  EXPECT_TRUE(WaitForExit(server));
  CloseHandle(server);
}

}  // namespace
}  // namespace kb6test
