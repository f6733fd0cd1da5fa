#include "accessible_names.h"

#include <oleacc.h>

#include <string>
#include <utility>
#include <vector>

#include "window_finder.h"

namespace {

// COM on this thread for as long as the report is being written.
class ComApartment {
 public:
  ComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialized_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialized_;
};

struct AccessibleFacts {
  HRESULT result = E_FAIL;  // of AccessibleObjectFromWindow
  bool found = false;
  bool named = false;
  std::wstring name;
  long role = 0;
};

AccessibleFacts AskAccessibleObject(HWND control) {
  AccessibleFacts facts;
  IAccessible* accessible = nullptr;
  facts.result =
      AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                 reinterpret_cast<void**>(&accessible));
  if (FAILED(facts.result) || accessible == nullptr) return facts;
  facts.found = true;
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  // S_FALSE, or no string at all, is how an object says it has no name.
  if (accessible->get_accName(self, &name) == S_OK && name != nullptr) {
    facts.named = true;
    facts.name.assign(name, SysStringLen(name));
  }
  SysFreeString(name);
  VARIANT role;
  VariantInit(&role);
  if (SUCCEEDED(accessible->get_accRole(self, &role)) && role.vt == VT_I4) facts.role = role.lVal;
  VariantClear(&role);
  accessible->Release();
  return facts;
}

}  // namespace

bool WriteAccessibleNamesReport(JsonWriter& json, HWND dialog) {
  ComApartment apartment;
  std::vector<std::pair<HWND, AccessibleFacts>> controls;
  bool anyFound = false;
  HRESULT firstFailure = S_OK;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    controls.emplace_back(child, AskAccessibleObject(child));
    anyFound = anyFound || controls.back().second.found;
    if (firstFailure == S_OK && !controls.back().second.found)
      firstFailure = controls.back().second.result;
  }
  json.BeginObject();
  json.Key("ok").Bool(anyFound);
  if (!anyFound) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(firstFailure));
    json.Key("error").String(std::string("no control has an accessible object: ") + code);
  }
  json.Key("controls").BeginArray();
  for (const auto& [control, facts] : controls) {
    json.BeginObject();
    json.Key("id").Number(static_cast<short>(GetDlgCtrlID(control)));
    json.Key("class").String(WindowClassName(control));
    json.Key("name");
    if (facts.named)
      json.String(facts.name);
    else
      json.Null();
    json.Key("role").Number(facts.role);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  return anyFound;
}
