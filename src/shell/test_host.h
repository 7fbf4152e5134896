// The drawing tests' view of the program: frmMain's shared state and
// procedures, and frmTest's surface and title label.
#pragma once

#include "tests/test_host.h"

namespace shell {

class FormsTestHost : public drawtests::TestHost {
 public:
  std::int16_t lMode() override;
  void setLResult(int slot, std::int32_t value) override;
  gdi::HDC lBufferDC() override;
  void BeginTest() override;
  void EndTest() override;
  void CreateDIBSection() override;
  void FreeBuffer() override;
  void setResultCaption(int label, const std::string& caption) override;
  forms::PictureBox& Picture2() override;
  forms::PictureBox& Picture3() override;
  forms::PictureBox& Picture1() override;
  forms::Label& Label13() override;
  void DoEvents() override;
};

// The host the start buttons run their tests with.
FormsTestHost& formsTestHost();

}  // namespace shell
