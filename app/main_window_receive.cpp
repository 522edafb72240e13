// The receive handler: everything the logger sends arrives here.
#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/text.h"

namespace dorv::app {

namespace {

constexpr int kLineCapacity = 127;  // characters of LineBuf before its terminator

// A status line with bounds: characters past its end read as NUL.
struct Line {
  const char* s;
  int len;
  char At(int k) const { return k >= 0 && k < len ? s[k] : '\0'; }
  // The text from position k to the end (empty past the end), for display.
  std::string From(int k) const {
    return k >= 0 && k < len ? ui::Cp932ToUtf8(std::string_view(s + k, len - k)) : std::string();
  }
  int Find(char c) const {
    for (int k = 1; k < len; ++k)
      if (s[k] == c) return k;
    return -1;
  }
};

const char* SamplingText(char code) {
  switch (code) {
    case '0':
      return "0.5秒";
    case '1':
      return "0.16秒";
    case '2':
      return "8Hz";
    case '3':
      return "16Hz";
    case '4':
      return "Trace(32Hz)";
    case '5':
      return "Real(32Hz)";
    case '6':
      return "20msec";
    case '7':
      return "10msec";
    case '8':
      return "20mTRC";
    case '9':
      return "10mTRC";
    case 'A':
      return "5msec";
    case 'B':
      return "2msec";
    case 'C':
      return "1msec";
    case 'D':
      return "5mTRC";
    case 'E':
      return "2mTRC";
    case 'F':
      return "1mTRC";
    default:
      return "Real(16Hz)";
  }
}

const char* const kIntervalTexts[15] = {"1min",  "2min",  "3min",  "4min",  "5min",
                                        "10min", "15min", "20min", "30min", "1sec",
                                        "5sec",  "10sec", "15sec", "20sec", "30sec"};

}  // namespace

std::string IntervalTextFor(int index) {
  return index >= 0 && index < 15 ? kIntervalTexts[index] : "???";
}

void TForm1::SerialPort1TriggerAvail(unsigned short count) {
  if (FastRowIndex != 0) {
    ReadBurstRows(count);
  } else if (FirmwareUpdating == 1 || FirmwareWait != FirmwarePhase::Idle) {
    ReadFirmwareAcks();
  } else if (LoggerAwake != 1) {
    // The first answer after a wake-up: its bytes stay for the next event.
    ModeBits = 0;
    Send("m");
    EnterConnectedState();
  } else {
    ReadReplyLines();
  }
}

void TForm1::EnterConnectedState() {
  ModeBits = 0;
  LoggerAwake = 1;
  Button4->SetCaption("接続");
  Image4->Hide();
  Image5->Show();
  Button45->Show();
  Memo1->Clear();
  MonitorRequestOpen = 0;
  LoggerReady = 1;
  ReserveState = 0;
  ReserveTimeText = NowText.size() >= 16 ? NowText.substr(5, 11) : NowText;
  Label25->SetCaption(ReserveTimeText);
}

void TForm1::ReadReplyLines() {
  while (Bytes->CharReady()) {
    Label23->SetCaption("1");
    char b = Bytes->GetChar();
    switch (b) {
      case 5:  // ENQ: the logger asks for a sign of life
        Send(std::string(1, '\x06'));
        break;
      case 10:
        LineEnd();
        break;
      case 13:
      case '!':
      case '?':
      case 0:  // a NUL would end the line text early: ignored like CR
        break;
      case '#':
        if (Downloading == 1 && LineLen > 0) {
          // The logger's prompt follows a line end; one inside a line is
          // not the logger speaking.
          AbandonDownload();
          return;
        }
        {
          const bool wasOpen = SerialPort1->Open();
          Prompt();
          // The exchange has ended: what follows is no part of it (the next
          // exchange starts with an empty input).
          if (wasOpen && !SerialPort1->Open()) return;
        }
        break;
      default:
        if (Downloading == 1 && LineLen >= kLineCapacity) {
          // No record is this long: not the logger's answer.
          AbandonDownload();
          return;
        }
        // A line longer than LineBuf holds keeps its first characters.
        if (LineLen < kLineCapacity) {
          LineBuf[LineLen++] = b;
          LineBuf[LineLen] = '\0';
        }
        break;
    }
  }
}

void TForm1::LineEnd() {
  LineBuf[LineLen] = '\0';
  Line line{LineBuf.c_str(), LineLen};
  if (Monitoring == 1) {
    // The monitor reply: the lines of one reply collect in LineBuf and every
    // line end scans all of it, so the last value of each letter wins.
    Label23->SetCaption("2");
    for (int i = 0; i < LineLen; ++i) {
      char c = line.s[i];
      if (c == 'p') {
        MonitorTempText = line.From(i + 2);
        Edit10->SetText(MonitorTempText + "C");
      } else if (c == 'X' || c == 'Y' || c == 'Z') {
        std::string field;
        for (int k = i + 2; k < i + 7 && k < LineLen; ++k) field += line.s[k];
        int v = 0;
        std::sscanf(field.c_str(), "%d", &v);
        ui::TLabel* label = c == 'X' ? Label11 : c == 'Y' ? Label27 : Label32;
        ui::TTrackBar* bar = c == 'X' ? TrackBar1 : c == 'Y' ? TrackBar2 : TrackBar3;
        label->SetCaption(ui::Cp932ToUtf8(field));
        bar->SetPosition(v + 20);
      }
    }
    Label23->SetCaption("3");
    return;
  }
  std::string text(line.s, LineLen);
  if (Downloading == 1 && LineLen > 3) {
    if (DataCount < kRecordCapacity) {
      RecordLines[DataCount] = text;
      ++DataCount;
      ProgressBar1->SetPosition(DataCount);
    } else {
      ++DroppedRecords;  // beyond the store: counted and reported at the end
    }
  } else if (LineLen > 1) {
    Memo1->Add(text);
  }
  if (LineLen > 0 && line.s[0] == '@') StatusLine(line.s, LineLen);
  LineLen = 0;
  LineBuf.Clear();
}

void TForm1::StatusLine(const char* s, int len) {
  Line line{s, len};
  const int e = line.Find('=');
  const int sp = line.Find(' ');
  auto onOff = [](const std::string& v) { return v == " 00" ? "OFF" : "ON"; };
  // The three three-character values after the first blank of "@A"/"@F".
  auto axes = [&](std::string& a1, std::string& a2, std::string& a3) {
    std::string* out[3] = {&a1, &a2, &a3};
    for (int g = 0; g < 3; ++g) {
      std::string v;
      for (int k : {sp + 3 + 6 * g, sp + 6 + 6 * g, sp + 7 + 6 * g})
        if (char c = line.At(k)) v += c;
      *out[g] = ui::Cp932ToUtf8(v);
    }
  };
  switch (line.At(1)) {
    case 'A':
      if (sp < 0) return;
      axes(AxisText1, AxisText2, AxisText3);
      if (line.At(sp + 1) == 'h') {
        Edit1->SetText(AxisText1);
        Edit2->SetText(onOff(AxisText2));
        Edit6->SetText(onOff(AxisText3));
      } else {
        Edit7->SetText(onOff(AxisText1));
        Edit8->SetText(AxisText2);
        Edit11->SetText(AxisText3);
      }
      break;
    case 'F':
      if (sp < 0) return;
      axes(AxisText1, AxisText2, AxisText3);
      Edit15->SetText(AxisText1);
      Edit16->SetText(AxisText2);
      Edit17->SetText(AxisText3);
      break;
    case 'B':
      if (e < 0 || !line.At(e + 5)) return;
      Label19->SetCaption(line.At(e + 5) == '0' ? "BZ-ON" : "BZ-OFF");
      break;
    case 'C': {
      if (e < 0) return;
      int k = e + 1;
      while (line.At(k) == ' ') ++k;
      std::string countText;
      while (line.At(k) && line.At(k) != ' ') countText += line.At(k++);
      while (line.At(k) == ' ') ++k;
      Label13->SetCaption(countText);
      int count = 0;
      if (!ui::TryStrToInt(countText, count)) count = 0;
      DataCount = count;
      Label39->SetCaption(line.From(k));
      if (DataCount < 0) {
        ui::Application()->Modals().ShowMessage("データ数不具合");
        DataCount = DataCount == INT32_MIN ? INT32_MAX : -DataCount;
      }
      ProgressBar1->SetMax(DataCount);
      ProgressBar1->SetPosition(0);
      break;
    }
    case 'D':
    case 'd': {
      if (e < 0) return;
      char c1 = line.At(e + 1), c2 = line.At(line.At(1) == 'D' ? e + 3 : e + 2);
      if (!c1 || !c2) return;
      std::string two{c1, c2};
      ComboBox1->SetText(two);
      ThresholdRaw = ui::StrToIntDef(two, 0);
      break;
    }
    case 'G':
    case 'g': {
      if (e < 0 || !line.At(e + 1)) return;
      ModeBits = static_cast<unsigned char>(line.At(e + 1)) & 7;
      if (line.At(1) == 'g' && ModeBits == 5) {
        ModeBits = 2;
        ThresholdDivisor = 2;
        ComboBox5->SetText("50");
      }
      if (sp >= 0) Label33->SetCaption(line.From(sp + 1));
      break;
    }
    case 'I': {
      if (e < 0 || !line.At(e + 1)) return;
      char code = line.At(e + 1);
      HasMillisDigit = 0;
      ComboBox3->SetText(SamplingText(code));
      if (code >= 'A' && code <= 'F') HasMillisDigit = 1;
      break;
    }
    case 'L':
      if (e < 0) return;
      Edit14->SetText(line.From(e + 4));
      break;
    case 'M': {
      if (e < 0) return;
      int k = e + 2;
      while (line.At(k) >= '0' && line.At(k) <= '9') ++k;  // the line ends at the digits
      Line digits{s, std::min(k, len)};
      Label18->SetCaption(digits.From(e + 4));
      break;
    }
    case 'R': {
      if (e < 0 || !line.At(e + 1)) return;
      size_t pos = IntervalCodes.find(line.At(e + 1));
      if (pos == std::string::npos) {
        // A letter the table does not know: shown as such, the index kept.
        IntervalText = "???";
      } else {
        IntervalIndex = static_cast<int>(pos);
        IntervalText = IntervalTextFor(IntervalIndex);
      }
      ComboBox2->SetText(IntervalText);
      break;
    }
    case 'T': {
      if (e < 0 || !line.At(e + 4) || !line.At(e + 5)) return;
      char c1 = line.At(e + 4), c2 = line.At(e + 5);
      if (c1 == '0') {
        if (c2 == '0') {
          ThresholdDivisor = 1;
          ComboBox5->SetText("00");
        } else if (c2 == '2') {
          ThresholdDivisor = 50;
          ComboBox5->SetText("02");
        }
      } else if (c1 == '2') {
        ThresholdDivisor = 5;
        ComboBox5->SetText("20");
      } else if (c1 == '5') {
        ThresholdDivisor = 2;
        ComboBox5->SetText("50");
      } else {
        ThresholdDivisor = 10;
        ComboBox5->SetText("10");
      }
      break;
    }
    case 'W': {
      if (e < 0 || !line.At(e + 5)) return;
      bool on = line.At(e + 5) != '0';
      CheckBox2->SetFocus();
      CheckBox2->SetChecked(on);  // a change runs the click handler
      CheckBox2State = on ? 1 : 0;
      Edit12->SetText(on ? "1" : "0");
      break;
    }
    case 'Y':
      if (e < 0) return;
      Label15->SetCaption(line.From(e + 1));
      break;
    case 's':
      if (e < 0 || !line.At(e + 5)) return;
      ComboBox4->SetText(line.At(e + 5) == '0' ? "Sleep" : "開始");
      break;
    case 'w':
      if (e < 0) return;
      Label31->SetCaption(line.From(e + 2));
      break;
    default:
      break;
  }
}

void TForm1::AbandonDownload() {
  SerialPort1->SetOpen(false);
  PendingCmd1.Clear();
  PendingCmd2.Clear();
  PendingCmd3.Clear();
  LineLen = 0;
  LineBuf.Clear();
  CompleteDownload();
  if (Timer1->Interval() == 0) Timer1->SetInterval(1000);
  ui::Application()->Modals().ShowMessage(
      "受信データ不正: ロガーの応答ではないためダウンロードを中止しました");
}

void TForm1::Prompt() {
  MonitorRequestOpen = 0;
  Label23->SetCaption("3.5");
  if (FirstQueryPending == 1) {
    FirstQueryPending = 0;
    PendingCmd1.Set("p");
    PendingCmd2.Set("p");
  }
  if (!PendingCmd1.Empty()) {
    std::string cmd = PendingCmd1.Str();
    PendingCmd1.Clear();
    Send(cmd);
    return;
  }
  if (!PendingCmd2.Empty()) {
    std::string cmd = PendingCmd2.Str();
    PendingCmd2.Clear();
    Send(cmd);
    return;
  }
  if (!PendingCmd3.Empty()) {
    std::string cmd = PendingCmd3.Str();
    PendingCmd3.Clear();
    Send(cmd);
    return;
  }
  // Nothing queued: the exchange ends.
  SerialPort1->SetOpen(false);
  LineLen = 0;
  if (Downloading == 1) CompleteDownload();
  Label24->SetCaption(ui::Cp932ToUtf8(LineBuf.View()));
  LineBuf.Clear();
  if (Timer1->Interval() == 0) Timer1->SetInterval(1000);
}

}  // namespace dorv::app
