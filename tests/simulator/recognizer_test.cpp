// Framing of the unterminated command stream.
#include "simulator/recognizer.h"

#include <gtest/gtest.h>

namespace dorv::sim {
namespace {

// Input pieces are fed one after another; each piece is followed by an idle
// gap ("|" in the case tables), or by the abandon time when it ends in "~".
std::vector<Command> Recognise(const std::vector<std::string>& pieces) {
  CommandRecognizer r;
  std::vector<Command> out;
  for (std::string piece : pieces) {
    const bool stall = !piece.empty() && piece.back() == '~';
    if (stall) piece.pop_back();
    for (char c : piece)
      for (Command& cmd : r.Feed(c)) out.push_back(cmd);
    if (auto cmd = r.Idle(stall ? CommandRecognizer::kAbandon : CommandRecognizer::kDefaultGap))
      out.push_back(*cmd);
  }
  return out;
}

// "name=text" per command, "L:" in front of what the loader received.
std::string Describe(const std::vector<Command>& cmds) {
  std::string s;
  for (const Command& c : cmds) {
    if (!s.empty()) s += " ";
    s += (c.loader ? "L:" : "") + EscapeBytes(c.name) + "=" + EscapeBytes(c.text);
  }
  return s;
}

struct Case {
  std::vector<std::string> pieces;
  std::string expected;
};

TEST(Recognizer, LoggerCommands) {
  const Case cases[] = {
      {{"m"}, "m=m"},
      {{"pnx #foDCGZW"}, "p=p n=n x=x  =  #=# f=f o=o D=D C=C G=G Z=Z W=W"},
      {{"s2015/03/04 05:06:07"}, "s=s2015/03/04 05:06:07"},
      {{"l03/05 06:00"}, "l=l03/05 06:00"},
      {{"i5", "jc", "j^", "d45", "N05", "w00"}, "i=i5 j=jc j=j^ d=d45 N=N05 w=w00"},
      // "t" is complete once something other than "e" follows, or at the gap.
      {{"t"}, "t=t"},
      {{"te"}, "te=te"},
      {{"tp"}, "t=t p=p"},
      {{"k1", "z0", "b1", "q5", "q9", "Vp", "vp"}, "k1=k1 z0=z0 b1=b1 q5=q5 q9=q9 Vp=Vp vp=vp"},
      {{"10", "20", "50", "00", "02"}, "10=10 20=20 50=50 00=00 02=02"},
      {{"hAAA", "N01"}, "hAAA=hAAA N=N01"},
      {{"\x03\x06\x03\x06\x03"}, "\\x03\\x06\\x03\\x06\\x03=\\x03\\x06\\x03\\x06\\x03"},
      {{"Oy01", "Oz00", "OX01"}, "Oy=Oy01 Oz=Oz00 OX=OX01"},
      // Signed arguments: two digits at least, ended by the gap, a non-digit
      // (which starts the next command) or the fourth digit.
      {{"Ox-03"}, "Ox=Ox-03"},
      {{"OY123"}, "OY=OY123"},
      {{"OZ07p"}, "OZ=OZ07 p=p"},
      {{"L12345~"}, "L=L1234 ?=5"},
      {{"L-4p"}, "?=L-4p"},
      // Text arguments end at the gap, blanks included.
      {{"FX 05", "FY-1", "FZ"}, "FX=FX 05 FY=FY-1 FZ=FZ"},
      // Misfits and noise.
      {{"kx"}, "?=kx"},
      {{"03"}, "?=03"},
      {{"hAB"}, "?=hAB"},
      {{"Oq"}, "?=Oq"},
      {{"A!?K"}, "?=A!?K"},
      {{"s2015/03~"}, "?=s2015/03"},
      {{"\r\n"}, "=\\x0D =\\x0A"},
      {{"\x06"}, "\\x06=\\x06"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Describe(Recognise(c.pieces)), c.expected) << "input " << EscapeBytes(c.pieces[0]);
  }
}

TEST(Recognizer, LoaderLinesAndLeavingTheLoader) {
  const Case cases[] = {
      // A record is complete when it holds as many digits as its length byte
      // announces; the next one needs no gap in between.
      {{"e:020000040030CA:00000001FF"}, "e=e L::=:020000040030CA L::=:00000001FF"},
      {{"e", ":10000000"}, "e=e L::=:10000000"},
      {{"e", ":0G", ";PIC18F87K90"}, "e=e L::=:0G L:;=;PIC18F87K90"},
      // The logger's commands keep working in the loader.
      {{"e", "p", "q7"}, "e=e p=p q7=q7"},
      // "qs" restarts the logger and "m" wakes it: both end the loader.
      {{"e", "qsp"}, "e=e qs=qs p=p"},
      {{"e", "mp"}, "e=e m=m p=p"},
      {{"e", "qs", ":00"}, "e=e qs=qs ?=:00"},
      {{"e", "qx", "\r"}, "e=e ?=qx =\\x0D"},
  };
  for (const Case& c : cases) {
    std::string input;
    for (auto& p : c.pieces) input += p + "|";
    EXPECT_EQ(Describe(Recognise(c.pieces)), c.expected) << "input " << EscapeBytes(input);
  }
}

TEST(Recognizer, IdleThresholdFollowsTheFormInProgress) {
  CommandRecognizer r;
  EXPECT_FALSE(r.IdleThreshold());
  r.Feed('t');
  EXPECT_EQ(r.IdleThreshold(), CommandRecognizer::kDefaultGap);
  r.Feed('e');
  r.Feed('s');
  EXPECT_EQ(r.IdleThreshold(), CommandRecognizer::kAbandon);
  EXPECT_FALSE(r.Idle(CommandRecognizer::kDefaultGap));
}

TEST(Recognizer, EscapingRoundTrips) {
  const std::string raw = std::string("a\\b\x05\x06\xff ") + '\0';
  EXPECT_EQ(EscapeBytes(raw), "a\\x5Cb\\x05\\x06\\xFF \\x00");
  EXPECT_EQ(UnescapeBytes(EscapeBytes(raw)), raw);
}

}  // namespace
}  // namespace dorv::sim
