// frmTest: the full-screen, topmost window every test draws in. Its picture
// box Picture1 is the drawing surface; Label13 shows the running test's title.
#pragma once

#include <memory>

#include "platform/forms/forms.h"

namespace shell {

class frmTestForm : public forms::Form {
 public:
  frmTestForm();

  void Form_Load() override;
  void Form_Resize() override;
  void Form_Unload() override;

  // Using a control loads the form first.
  forms::PictureBox& Picture1();
  forms::Label& Label13();

 protected:
  void createControls() override;
  void destroyControls() override;

 private:
  std::unique_ptr<forms::PictureBox> picture1_;
  std::unique_ptr<forms::Label> label13_;
};

frmTestForm& frmTest();

}  // namespace shell
