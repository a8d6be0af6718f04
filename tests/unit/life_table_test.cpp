// The manager's life as a table: every event in every phase, each answer written out below.
// A pair that nobody decided, or that changed, fails here with the phase and the event.
#include "ManagerLife.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using life::Answer;
using life::Event;
using life::Phase;

// One answer in a few letters: the next phase, then what is done, in a fixed order.
//   phases: W waiting for the previous, P preparing, U coming up, S started, T stopping,
//           C closing while coming up, X pausing after the stop, E ending the session,
//           D tearing down, F failed, J Java ended, Z ended
//   + show, - hide, 1/2/3 text starting/started/stopping, b bar, i icon, r icon removed,
//   a browser enabled, e "encerrar" traced, ask: p prepare, s start, q stop, t teardown
//   (t! after the stop, t~ without waiting for it), k end the process; o browser opened,
//   A about, B failure box, f box brought forward, x dialog ends, y/n second start told
//   shown/closing, w pause timer, g bound timer, [ ] session begins/stopped/not stopped as
//   [, ], ~]
std::string letters(const Answer &a) {
    static const char kPhase[] = "WPUSTCXEDFJZ";
    std::string s(1, kPhase[static_cast<int>(a.next)]);
    if (a.window == Answer::Window::Show)
        s += '+';
    if (a.window == Answer::Window::Hide)
        s += '-';
    if (a.text != Answer::Text::Keep)
        s += static_cast<char>('0' + static_cast<int>(a.text));
    if (a.bar != Answer::kUnchanged)
        s += 'b' + std::to_string(a.bar);
    if (a.icon)
        s += 'i' + std::to_string(a.icon);
    if (a.removeIcon)
        s += 'r';
    if (a.enableBrowser)
        s += 'a';
    if (a.traceEncerrar)
        s += 'e';
    switch (a.ask) {
    case Answer::Ask::Nothing:
        break;
    case Answer::Ask::Prepare:
        s += 'p';
        break;
    case Answer::Ask::ResumeStart:
        s += 's';
        break;
    case Answer::Ask::ResumeStop:
        s += 'q';
        break;
    case Answer::Ask::Teardown:
        s += a.stopFirst ? "t!" : a.waitForStop ? "t" : "t~";
        break;
    case Answer::Ask::EndProcess:
        s += 'k';
        break;
    }
    if (a.openBrowser)
        s += 'o';
    if (a.runAbout)
        s += 'A';
    if (a.showFailureBox)
        s += 'B';
    if (a.bringBoxForward)
        s += 'f';
    if (a.endDialog)
        s += 'x';
    if (a.reply == Answer::Reply::Shown)
        s += 'y';
    if (a.reply == Answer::Reply::Closing)
        s += 'n';
    if (a.timer == Answer::Timer::Pause)
        s += 'w';
    if (a.timer == Answer::Timer::Bound)
        s += 'g';
    if (a.session == Answer::Session::Begins)
        s += '[';
    if (a.session == Answer::Session::Stopped)
        s += ']';
    if (a.session == Answer::Session::NotStopped)
        s += "~]";
    return s;
}

struct Row {
    Phase phase;
    bool announced;
    const char *answers; // one per event, in the order of life::Event
};

std::string rowName(const Row &row) {
    return std::string(life::name(row.phase)) + (row.announced ? " (announced)" : "");
}

// The events in the order of life::Event:
//   Status0 1 2 3 4 5 6or7 Other, PreviousEnded, Prepared, PrepareFailed, EncerrarButton,
//   EncerrarMenu, Iniciar, Browser, Minimise, CloseNoMainBegun, Close, About, SecondStart,
//   QueryEndSession, EndSession, JavaEnding, PauseOver, BoundPassed, FailureBoxAnswered, TornDown
const Row kTable[] = {
    {Phase::WaitingForPrevious, false,
     "W W W W W W W W P1b0p W W Z-rx Z-rx W+ W W- Z-rx Z-rx WA W+y W Z-rx W W F-B W W"},
    {Phase::Preparing, false,
     "P P P P P P P P P Us F-B D-rt~g D-rt~g P+ P P- D-rt~g D-rt~g PA P+y P D-rt~g J- P P P P"},
    {Phase::ComingUp, false,
     "Ub25i136 Ub50i135 Ub75i135 S2b100i134a Ub100i134 Ub50i138 Xb100i136w U U U U T+3b0i136eq T+3b0i136eq "
     "U+s U-o U- D-rt~g C+3b0i136eqg UA U+y U E+3b0i136eqg[ J- U U U U"},
    {Phase::Started, true,
     "Sb100i136 Sb100i135 Ub100i135 S Sb100i134 Sb50i138 Xb100i136w S S S S T+3b0i136eq T+3b0i136eq S+s S-o "
     "S- D-3b0ret!g D-3b0ret!g SA S+y S E+3b0i136eqg[ J- S S S S"},
    {Phase::Stopping, false,
     "Tb25i136 Tb50i135 Tb75i135 Tb100 Tb100 Tb50i138 Xb100i136w T T T T T+3b0i136eq T+3b0i136eq U+s T-o T- "
     "C+3b0i136eqg C+3b0i136eqg TA T+y T E+3b0i136eqg[ J- T T T T"},
    {Phase::Stopping, true,
     "Tb100i136 Tb100i135 Tb100i135 T Tb100 Tb50i138 Xb100i136w T T T T T+3b0i136eq T+3b0i136eq S+s T-o T- "
     "D-3b0ret!g D-3b0ret!g TA T+y T E+3b0i136eqg[ J- T T T T"},
    {Phase::ClosingWhileComingUp, false,
     "Cb25i136 Cb50i135 Cb75i135 Cb100 Cb100 Cb50i138 Xb100i136w C C C C C C C C C- C C CA Cn C "
     "E+3b0i136eqg[ J- C D-rt~g C C"},
    {Phase::PausingAfterStop, false, "X X X X X X X X X X X X X X X X X X X Xn X X J- D-rtg X X X"},
    {Phase::EndingSession, false,
     "Eb25i136 Eb50i135 Eb75i135 Eb100 Eb100 Eb50i138 Xb100i136w] E E E E E E E E E E E E En E E J- E "
     "D-rt~g~] E E"},
    {Phase::EndingSession, true,
     "Eb100i136 Eb100i135 Eb100i135 E Eb100 Eb50i138 Xb100i136w] E E E E E E E E E E E E En E E J- E "
     "D-rt~g~] E E"},
    {Phase::TearingDown, false, "D D D D D D D D D D D D D D D D D D D Dn D D J D Zk D Z-x"},
    {Phase::Failed, false, "F F F F F F F F F F F F F F F F F F F Ffy F F J- F F Z-rx F"},
    {Phase::JavaEnded, false, "J J J J J J J J J J J J J J J J J J J Jn J J J J J J J"},
    {Phase::Ended, false, "Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z Z"},
};

std::vector<std::string> split(const std::string &text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

TEST(LifeTable, EveryEventInEveryPhaseHasTheAnswerWrittenDown) {
    std::vector<bool> seen(static_cast<std::size_t>(Phase::Count));
    for (const Row &row : kTable) {
        seen[static_cast<std::size_t>(row.phase)] = true;
        const std::vector<std::string> expected = split(row.answers);
        ASSERT_EQ(static_cast<std::size_t>(Event::Count), expected.size()) << rowName(row);
        for (std::size_t e = 0; e < expected.size(); ++e) {
            const Event event = static_cast<Event>(e);
            EXPECT_EQ(expected[e], letters(life::decide(row.phase, row.announced, event)))
                << rowName(row) << ", " << life::name(event);
        }
    }
    for (std::size_t p = 0; p < seen.size(); ++p)
        EXPECT_TRUE(seen[p]) << "no row for " << life::name(static_cast<Phase>(p));
}

// The faults the table exists for, as a user meets them in sequence.
TEST(LifeTable, SequencesKeepTheirPromises) {
    // Closed while coming up, the Java side reaches 3 before the stop's 6: nothing announces.
    life::ManagerLife closing(Phase::ComingUp);
    closing.on(Event::Close);
    const Answer three = closing.on(Event::Status3);
    EXPECT_EQ(Answer::Text::Keep, three.text);
    EXPECT_FALSE(three.enableBrowser);
    EXPECT_NE(IDI_TRAY_STARTED, three.icon);
    EXPECT_EQ(Answer::Reply::Closing, closing.on(Event::SecondStart).reply);
    EXPECT_EQ("Xb100i136w", letters(closing.on(Event::Status6or7)));
    EXPECT_EQ("D-rtg", letters(closing.on(Event::PauseOver)));
    EXPECT_EQ("Z-x", letters(closing.on(Event::TornDown)));

    // Announced, withdrawn by a 2, announced again by the next 3.
    life::ManagerLife up(Phase::ComingUp);
    EXPECT_TRUE(up.on(Event::Status3).enableBrowser);
    up.on(Event::Status2);
    EXPECT_EQ(Phase::ComingUp, up.phase());
    EXPECT_EQ(Answer::Text::Started, up.on(Event::Status3).text);

    // "Encerrar", then "Iniciar": the application may come up and be announced again.
    life::ManagerLife again(Phase::ComingUp);
    again.on(Event::EncerrarButton);
    EXPECT_FALSE(again.on(Event::Status3).enableBrowser);
    again.on(Event::Iniciar);
    EXPECT_TRUE(again.on(Event::Status3).enableBrowser);
}

} // namespace
