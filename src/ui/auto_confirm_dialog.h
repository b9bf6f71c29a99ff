// Stand-in for the main dialog while the window is not there: opens with the dialog's
// start-up settings and confirms at once, so the filter renders with the defaults.
#pragma once

#include "ui/hdr_dialog.h"

namespace qorva {

class AutoConfirmDialog : public HdrDialog {
public:
    DialogResult runModal(DialogHostContext& context) override;
};

}  // namespace qorva
