#pragma once

#include <string>

#include "console/output/ProgressReporter.h"
#include "console/run/ConsoleView.h"
#include "window/frmSerial.h"

// Follows a download or verify: from the progress bar, as a user reads the window, how many
// records went out and which pass they belong to; from the protocol machine, how the transfer
// ended and where it stands, for progress lines and messages. It only reads.
class TransferWatch {
  public:
    enum class Stage {
        Running,
        Ended,   // END
        Refused, // the board refused a record ("ERROR")
        Failed,  // the machine's failure says why
    };

    // `verifyFollows`: a download, whose verify pass comes after the download pass.
    TransferWatch(const ConsoleView& view, const frmSerial& form, bool verifyFollows);

    // The transfer starts now: records are counted from here.
    void begin();
    bool started() const { return begun; }
    // Takes in what the last event changed on the bar.
    Stage observe();

    int records() const { return sent; }
    int passes() const { return passesDone; }
    // "record 5 of 324 (download pass)".
    std::string position() const;
    // The position and the record itself, cut where it grows long.
    std::string lastRecord() const;
    // "the device ended the download pass after record 1 of 324".
    std::string earlyEnd() const;
    ProgressState progress() const;

  private:
    const ConsoleView& view;
    const frmSerial& form;
    bool verifyFollows;
    bool begun = false;
    int barAdvancesAtStart = 0;
    int sent = 0;
    int passesDone = 0;
    std::string passName; // "download" or "verify": the pass the last record belongs to
};
