#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "protocol/MachineHost.h"
#include "protocol/MachineStates.h"
#include "protocol/ReplyKeyword.h"
#include "protocol/TransitionTable.h"

// A transfer's position: the pass, the record awaited (from 1, the last one sent) and the board
// it runs with.
struct TransferPosition {
    Pass pass = Pass::Download;
    Pass startedAs = Pass::Download; // a download runs both passes, a verify only the second
    int record = 0;
    int count = 0;
    Origin origin;
    bool refused = false;  // the awaited record was refused once already
    bool answered = false; // the board has answered a record of this transfer
};

// A reply as the receiver hands it over.
struct Reply {
    std::string text;
    Origin origin;
    // How many frames had gone out when its first byte was read: a reply that began before the
    // frames the machine waits on went out cannot answer them.
    std::uint64_t framesBefore = 0;
    // When its last byte arrived; empty: when it was read.
    std::optional<std::chrono::steady_clock::time_point> completedAt;
};

// How long the machine waits for an answer.
struct MachineLimits {
    std::chrono::milliseconds stall{5000};  // an answer to a record or command
    std::chrono::milliseconds erase{60000}; // an answer to a record after "FORMAT"
};

// The connection and the transfer: one state, one table (TransitionTable), one deadline. Every
// event goes through `handle` or one of the helpers that classify it first; the machine performs
// the row's action through its host and tells its observer.
class ProtocolMachine {
  public:
    using Clock = MachineHost::Clock;

    using Limits = MachineLimits;
    struct Step {
        State from;
        Event event;
        Action action;
        State to;
    };

    explicit ProtocolMachine(MachineHost& host, Limits limits = {});

    // Runs one event; returns the action its row took.
    Action handle(Event event);
    // A file was chosen and read: `count` records, to go out as `pass` to `origin`.
    Action fileChosen(Pass pass, int count, Origin origin);
    // A reply: by its keyword, or as one that answers nothing awaited.
    Action reply(const Reply& reply);
    // Bytes the receiver could not take as a reply: another address's frame, an unframed reply
    // or noise (ForeignReply or Noise), with a few words of what they were.
    Action stray(Event event, std::string what);
    // The deadline has passed by `now`: runs Deadline.
    void checkDeadline(Clock::time_point now);

    State state() const { return current; }
    std::optional<Clock::time_point> deadline() const { return deadline_; }
    const TransferPosition& transfer() const { return position; }
    // The last transfer's failure, until the next transfer starts.
    const std::optional<Failure>& failure() const { return failure_; }
    // The replies taken, by their deciding keyword.
    const ReplyTally& replies() const { return tally; }
    const Limits& limits() const { return limits_; }
    void setLimits(Limits limits) { limits_ = limits; }
    // Told of every step once its action has run.
    void onStep(std::function<void(const Step&)> observer) { observer_ = std::move(observer); }

  private:
    // An answer taken for a wait, to tell a second board's answer from it.
    struct TakenAnswer {
        std::string text;
        std::uint64_t wait = 0; // the wait's first frame
        Clock::time_point at;
        bool doubled = false; // an identical second answer came
    };
    // The probes of the connection wait to one origin, and the version replies they drew.
    struct ProbeBook {
        Origin origin;
        int sent = 0;
        int answered = 0;
        Clock::time_point lastSent;
        std::uint64_t framesAfterLast = 0; // frames written once the last probe was out
        std::optional<Clock::time_point> lastAnswer;
        int sentAtLastAnswer = 0;
    };

    Event classify(const Reply& reply, ReplyKeyword keyword);
    std::optional<Event> classifyVersion(Clock::time_point at, std::uint64_t framesBefore);
    Event secondAnswer(const std::string& text);
    std::optional<Event> sameWaitAnswer(const std::string& text, Clock::time_point at);
    void takeAnswer(const std::string& text, Clock::time_point at);
    Event twoAnswers(std::string answers);
    Event stillTwo();
    void probeSent(bool reached);
    void nameConflict();

    Action run(Event event);
    void perform(Action action);
    void fail(FailureReason reason, bool tell);
    void send(bool reached);
    void startTransfer();
    void startPass(Pass pass);
    void armDeadline(State before, std::uint64_t sentBefore);
    GuardFacts facts() const;

    MachineHost& host;
    Limits limits_;
    State current = State::Closed;
    TransferPosition position;
    TransferPosition chosen; // the file chosen last, until its transfer starts
    std::optional<Clock::time_point> deadline_;
    std::optional<Failure> failure_;
    ReplyTally tally;
    std::string instead;   // what came instead of the awaited answer
    std::string eventNote; // what the event being run was, in words
    std::optional<Reply> eventReply;
    bool frameSent = false;
    bool frameLost = false;
    // The count of frames sent once the first frame of the current wait was out.
    std::uint64_t waitFrom = 0;
    std::optional<TakenAnswer> taken;
    int doubledRun = 0; // waits in a row whose answer came twice
    ProbeBook probes;
    Origin confirmed;         // the board that answered while a file waited for it
    // Where more than one board answered, until the port opens again or the wait moves on: nothing
    // more is started there.
    std::optional<Origin> conflicted;
    std::string conflictText; // the answers of more than one board
    std::function<void(const Step&)> observer_;
};
