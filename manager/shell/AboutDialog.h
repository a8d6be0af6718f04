// The About box: banner, the credits of the free components in a rich-text control.
#pragma once

#include "ModalDialog.h"

class AboutDialog : public ModalDialog {
  public:
    AboutDialog();

  protected:
    BOOL onInitDialog() override;

  private:
    RichEditControl credits_;
};
