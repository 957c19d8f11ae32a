// A host program as a COM client of KB6TRAY.exe: clsApplication's dual
// interface, a cycle, SetTrayText at a sink, the close and the server's end.
#include <gtest/gtest.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "com_client_support.h"
#include "platform/windows/text_windows.h"

namespace kb6test {
namespace {

struct Text {
  explicit Text(const std::wstring& s) : value(SysAllocStringLen(s.data(), s.size())) {}
  ~Text() { SysFreeString(value); }
  Text(const Text&) = delete;
  BSTR value;
};

template <typename Interface>
ComPtr<Interface> Create(const wchar_t* prog_id) {
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(prog_id, &clsid), S_OK);
  ComPtr<Interface> object;
  EXPECT_EQ(
      CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(object.GetAddressOf())),
      S_OK);
  return object;
}

// Wine's COM sees only the machine-wide registration.
class ComClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Server(L"/RegServer /AllUsers").ExitCodeWithin(120000), 0);
    // COM starts the server as our child: these settings reach it.
    SetEnvironmentVariableW(L"KB6TRAY_TIMER_MS", L"300");
    SetEnvironmentVariableW(L"KB6TRAY_PROGRESS_PAUSE", L"0");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  }
  void TearDown() override {
    CoUninitialize();
    EXPECT_EQ(Server(L"/UnregServer /AllUsers").ExitCodeWithin(120000), 0);
  }
};

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

TEST_F(ComClient, HostRunsACycleHearsAJobClosesAndTheServerEnds) {
  Scratch scratch;
  ComPtr<_clsApplication> app = Create<_clsApplication>(L"KB6TRAY.clsApplication");
  ASSERT_TRUE(app);
  Text data(scratch.dir), club(scratch.club), lokal(L"lokal");
  ASSERT_EQ(app->put_Datenpfad(&data.value), S_OK);
  ASSERT_EQ(app->put_AccessDatenbank(&club.value), S_OK);
  ASSERT_EQ(app->put_SQLServer_Host(&lokal.value), S_OK);
  // A pending close is withdrawn by ShowTrayicon.
  ASSERT_EQ(app->CloseTrayIcon(), S_OK);
  ASSERT_EQ(app->ShowTrayicon(), S_OK);
  DWORD id = 0;
  GetWindowThreadProcessId(MainWindow(), &id);
  HANDLE server = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  ASSERT_NE(server, nullptr);
  // The first cycle sets the back end's kind; the job then connects itself.
  ASSERT_TRUE(WaitForLogLines(scratch.dir, " ist abgeschlossen.", 3))
      << "no full cycle in the log below the Datenpfad";

  ComPtr<_clsAufgaben> jobs = Create<_clsAufgaben>(L"KB6TRAY.clsAufgaben");
  ASSERT_TRUE(jobs);
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
  ASSERT_EQ(sink.events.size(), 4u);
  EXPECT_EQ(sink.events[3].text, "Datensatz 300 von 300 wird verarbeitet ...");
  EXPECT_EQ(sink.events[3].part, "01TG");
  // Disconnected, the sink hears nothing more.
  ASSERT_EQ(point->Unadvise(cookie), S_OK);
  sink.events.clear();
  ASSERT_EQ(jobs->gfUpdateAbteilungen(&result), S_OK);
  EXPECT_TRUE(sink.events.empty());

  // The server outlives neither the close nor the last reference.
  point.Reset();
  container.Reset();
  jobs.Reset();
  ASSERT_EQ(app->CloseTrayIcon(), S_OK);
  app.Reset();
  // The close is honoured at the end of the next cycle; the bound only keeps
  // a hung server from hanging CI.
  EXPECT_EQ(WaitForSingleObject(server, 120000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(server, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(server);
}

}  // namespace
}  // namespace kb6test
