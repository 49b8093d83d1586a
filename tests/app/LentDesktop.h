#pragma once
// The simulated desktop, lent to a GlobalServer that wants to own one, so
// that a test keeps the desktop (and GlobalServer on it) to look at.
#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/Desktop.h"
#include "automation/SimDesktop.h"

namespace vz::test {

class TLentDesktop final : public automation::IDesktop {
public:
  explicit TLentDesktop(TSimDesktop& desktop) : d_(desktop) {}
  automation::WindowHandle FindWindowByClass(const std::string& c) override { return d_.FindWindowByClass(c); }
  void EnumTopLevel(const automation::WindowVisitor& v) override { d_.EnumTopLevel(v); }
  void EnumDescendants(automation::WindowHandle p, const automation::WindowVisitor& v) override {
    d_.EnumDescendants(p, v);
  }
  std::string ClassName(automation::WindowHandle w, std::size_t n) override { return d_.ClassName(w, n); }
  std::string WindowText(automation::WindowHandle w, std::size_t n) override { return d_.WindowText(w, n); }
  std::uint32_t ProcessId(automation::WindowHandle w) override { return d_.ProcessId(w); }
  automation::WindowHandle Parent(automation::WindowHandle w) override { return d_.Parent(w); }
  automation::WindowHandle NextTabStop(automation::WindowHandle d, automation::WindowHandle f) override {
    return d_.NextTabStop(d, f);
  }
  bool SetFocus(automation::WindowHandle w) override { return d_.SetFocus(w); }
  automation::MessageLParam Send(automation::WindowHandle w, std::uint32_t m, automation::MessageWParam wp,
                                 automation::MessageLParam lp) override {
    return d_.Send(w, m, wp, lp);
  }
  bool Post(automation::WindowHandle w, std::uint32_t m, automation::MessageWParam wp,
            automation::MessageLParam lp) override {
    return d_.Post(w, m, wp, lp);
  }
  void SendSetText(automation::WindowHandle w, const std::string& t) override { d_.SendSetText(w, t); }
  std::string SendGetText(automation::WindowHandle w, std::size_t n) override { return d_.SendGetText(w, n); }
  void Sleep(int ms) override { d_.Sleep(ms); }
  std::int64_t NowMs() override { return d_.NowMs(); }

private:
  TSimDesktop& d_;
};

}  // namespace vz::test
