// The launcher's file-validation skip around the loader's open, against an application
// object that answers FileValidation, lacks it, or refuses one of the calls.
#include "launcher/host/file_validation_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr DISPID kFileValidation = 77;

// Records each FileValidation call as "get" or "put <mode>"; `fails` names the one call
// (by its place in order, from 0) that the host refuses.
class ValidatingHost : public IDispatch {
 public:
  ValidatingHost(bool hasMember, LONG mode, int fails) : hasMember_(hasMember), mode_(mode), fails_(fails) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ++namesAsked;
    const bool known = hasMember_ && count == 1 && std::wstring(names[0]) == L"FileValidation";
    *ids = known ? kFileValidation : DISPID_UNKNOWN;
    return known ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (dispid != kFileValidation) return DISP_E_MEMBERNOTFOUND;
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    calls.push_back(put ? "put " + std::to_string(params->rgvarg[0].lVal) : "get");
    if (static_cast<int>(calls.size()) - 1 == fails_) return E_ACCESSDENIED;
    if (put) {
      mode_ = params->rgvarg[0].lVal;
    } else {
      VariantInit(result);
      result->vt = VT_I4;
      result->lVal = mode_;
    }
    return S_OK;
  }

  int namesAsked = 0;
  std::vector<std::string> calls;
  LONG Mode() const { return mode_; }

 private:
  bool hasMember_;
  LONG mode_;
  int fails_;
};

struct Case {
  const char* name;
  int version;
  bool hasMember;
  LONG mode;  // the host's mode before
  int fails;  // the call refused, -1 for none
  std::vector<std::string> calls;
  bool skippedDuringOpen;
};

TEST(FileValidationSkip, SkipsForTheOpenAloneAndIgnoresRefusals) {
  const Case cases[] = {
      {"version 16: skipped, then put back", 16, true, 0, -1, {"get", "put 1", "put 0"}, true},
      {"a host already skipping keeps it", 16, true, 1, -1, {"get", "put 1", "put 1"}, true},
      {"version 12 is never asked", 12, true, 0, -1, {}, false},
      {"a host without the member", 16, false, 0, -1, {}, false},
      {"an unreadable mode is not changed", 16, true, 0, 0, {"get"}, false},
      {"a refused skip needs no putting back", 16, true, 0, 1, {"get", "put 1"}, false},
      {"a refused putting back ends quietly", 16, true, 0, 2, {"get", "put 1", "put 0"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ValidatingHost host(c.hasMember, c.mode, c.fails);
    {
      FileValidationSkip skip(&host, c.version);
      EXPECT_EQ(host.Mode() == 1, c.skippedDuringOpen || c.mode == 1);
    }
    EXPECT_EQ(host.calls, c.calls);
    EXPECT_EQ(host.namesAsked, c.version >= 14 ? 1 : 0);
  }
}

}  // namespace
