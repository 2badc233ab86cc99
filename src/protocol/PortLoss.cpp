#include <string>

#include "window/frmSerial.h"

// A port that fails while open (an unplugged adapter, a read or write error) will not come back by
// itself: polling on would only burn time and leave the user with a frozen bar. So it is closed as
// "Close" closes it, and one box says where the run stood. The stage and record are taken before
// closing, which clears the transfer flags.
void frmSerial::ClosePortLost(const std::string& reason) {
    std::string text = view.txtText(0) + " lost! The port failed or was removed";
    if (TransferRequested == 1 && TransferActive == 1) {
        text += std::string(" during ") + PassName() + ", after record " +
                std::to_string(LastRecordNumber()) + " of " + std::to_string(RecordCount) + ".";
    } else {
        text += "; no transfer was running.";
    }
    LostPort = 1;
    BTNCloseCom_Click();
    view.msgBox(text, FormView::Icon::Critical, {}, reason);
}
