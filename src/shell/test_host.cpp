#include "shell/test_host.h"

#include "shell/frm_main.h"
#include "shell/frm_test.h"

namespace shell {

std::int16_t FormsTestHost::lMode() { return frmMain().lMode; }
void FormsTestHost::setLResult(int slot, std::int32_t value) {
  frmMain().lResult.at(static_cast<std::size_t>(slot)) = value;
}
gdi::HDC FormsTestHost::lBufferDC() { return frmMain().lBufferDC; }
void FormsTestHost::BeginTest() { frmMain().BeginTest(); }
void FormsTestHost::EndTest() { frmMain().EndTest(); }
void FormsTestHost::CreateDIBSection() { frmMain().CreateDIBSection(); }
void FormsTestHost::FreeBuffer() { frmMain().FreeBuffer(); }
void FormsTestHost::setResultCaption(int label, const std::string& caption) {
  frmMain().Label(label).setCaption(caption);
}
forms::PictureBox& FormsTestHost::Picture2() { return frmMain().Picture2(); }
forms::PictureBox& FormsTestHost::Picture3() { return frmMain().Picture3(); }
forms::PictureBox& FormsTestHost::Picture1() { return frmTest().Picture1(); }
forms::Label& FormsTestHost::Label13() { return frmTest().Label13(); }
void FormsTestHost::DoEvents() { forms::DoEvents(); }

FormsTestHost& formsTestHost() {
  static FormsTestHost host;
  return host;
}

}  // namespace shell
