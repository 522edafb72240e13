// Result codes, exceptions, message tables and the string-table reader.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <typeinfo>

#include "serial/serial_errors.h"
#include "serial/serial_misc.h"
#include "serial/string_table.h"

namespace dorv::serial {
namespace {

struct RaiseCase {
  int32_t code;
  const std::type_info& type;
  const char* message;
  int32_t errorCode;  // ESerialException::ErrorCode or EInOutError::ErrorCode
};

// What CheckException raises for a code: the class, its message and code.
void ExpectRaises(const RaiseCase& c) {
  SCOPED_TRACE(c.code);
  try {
    CheckException(nullptr, c.code);
    FAIL() << "nothing raised";
  } catch (const ui::Exception& e) {
    EXPECT_EQ(typeid(e), c.type) << typeid(e).name();
    if (c.message) {
      EXPECT_STREQ(e.what(), c.message);
    }
    if (auto* s = dynamic_cast<const ESerialException*>(&e)) {
      EXPECT_EQ(s->ErrorCode(), c.errorCode);
    }
    if (auto* io = dynamic_cast<const EInOutError*>(&e)) {
      EXPECT_EQ(io->ErrorCode, c.errorCode);
    }
  }
}

TEST(SerialErrors, CodesRaiseTheirClassWithTheTableText) {
  const RaiseCase cases[] = {
      {-1002, typeid(EBadArgument), "Bad argument passed to function", -1002},
      {-1006, typeid(EInternal), "Internal error creating window class", -1006},
      {-7003, typeid(EInternal), nullptr, -7003},
      {-2001, typeid(EBadId), "ie_BadId - Specified comport doesn't exist", -2001},
      {-2007, typeid(ECommNotOpen), "ie_NOpen - device not open", -2007},
      {-2008, typeid(EAlreadyOpen), "ie_Open - device already open", -2008},
      {-2011, typeid(ENoPortSelected), "The ComNumber property of the TSerialPort has not been set",
       -2011},
      {-3001, typeid(ENullApi), "No device layer specified", -3001},
      {-3006, typeid(EOutputBufferTooSmall), "Output buffer too small for block", -3006},
      {-3007, typeid(EBufferIsEmpty), "Buffer is empty", -3007},
      {-5002, typeid(ETriggerTooLong), "Data trigger too long", -5002},
      {-5003, typeid(EBadTriggerHandle), "Bad trigger handle", -5003},
      {-4003, typeid(EModem), nullptr, -4003},
      {-8010, typeid(EFax), nullptr, -8010},
      // Negated system errors: the runtime's classes.
      {-5, typeid(EInOutError), "File access denied", 5},
      {-2, typeid(EInOutError), "File not found", 2},
      {-162, typeid(EInOutError), "General failure", 162},
      {-8, typeid(EOutOfMemory), "Out of memory", 0},
      // Everything else.
      {-1, typeid(ESerialException), "Serial layer exception", 0},
      {-163, typeid(ESerialException), "Serial layer exception", 0},
      {-1001, typeid(ESerialException), "Serial layer exception", 0},
      {-1167, typeid(ESerialException), "Serial layer exception", 0},
  };
  for (const auto& c : cases) ExpectRaises(c);
}

TEST(SerialErrors, NonNegativeCodesAndLoadingComponentsRaiseNothing) {
  EXPECT_EQ(CheckException(nullptr, 0), 0);
  EXPECT_EQ(CheckException(nullptr, 17), 17);
  TBaseComponent loading;
  loading.BeginLoading();
  EXPECT_EQ(CheckException(&loading, -2001), -2001);
  loading.Loaded();
  EXPECT_THROW(CheckException(&loading, -2001), EBadId);
}

TEST(SerialErrors, SystemErrorWithoutTableRowUsesTheSystemTextOnOneLine) {
  // Error 87 has no row: its text is the operating system's own.
  try {
    CheckException(nullptr, -87);
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 87);
    std::string text = e.what();
    EXPECT_EQ(text, std::strerror(EINVAL));
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find("  "), std::string::npos);
  }
}

TEST(SerialErrors, ExceptionsAreShownByTheFrameworkAndTranslateBack) {
  ESerialException fromText("some text");
  EXPECT_EQ(fromText.ErrorCode(), 0);
  EXPECT_STREQ(fromText.what(), "some text");
  const ui::Exception& asUi = EBadId(ecBadId);
  EXPECT_STREQ(asUi.what(), "ie_BadId - Specified comport doesn't exist");

  auto code = [](auto e) { return XlatException(std::make_exception_ptr(e)); };
  EXPECT_EQ(code(EAlreadyOpen(ecAlreadyOpen)), -2008);
  EXPECT_EQ(code(EInOutError(5, "x")), -5);
  EXPECT_EQ(code(EOutOfMemory()), -8);
  EXPECT_EQ(code(std::bad_alloc()), -8);
  EXPECT_EQ(code(std::runtime_error("x")), -9999);
  EXPECT_EQ(MapCodeToStringID("EBadId", -2001), 2001u);
}

TEST(SerialErrors, ShortMessageForms) {
  EXPECT_EQ(ErrorMsg(-3007), "Buffer is empty");
  EXPECT_EQ(LoadErrorStr(0), "OK");
  EXPECT_EQ(LoadErrorStr(-5001), "No more trigger slots");
  char buf[80];
  LoadErrorZ(buf, ecNoPortSelected);
  EXPECT_EQ(std::strlen(buf), 58u);
  EXPECT_STREQ(buf, "The ComNumber property of the TSerialPort has not been set");
  // An id in neither the table nor the system's knowledge: empty.
  EXPECT_EQ(LoadErrorStr(-99999), "");
}

TEST(StringTables, BuiltTablesHoldTheirRows) {
  TStringResource errors({}, "SERIAL_ERROR_STRINGS_ENGLISH");
  EXPECT_EQ(errors.Count(), 829u);
  const std::map<uint32_t, std::string> fixed = {
      {0, "OK"},
      {2, "File not found"},
      {3, "Path not found"},
      {5, "File access denied"},
      {8, "Insufficient memory"},
      {162, "General failure"},
      {1001, "Bad handle passed to com function"},
      {2012, "Comport was not opened by Tapi"},
      {3010, "Base address not set"},
      {5001, "No more trigger slots"},
  };
  for (auto& [id, text] : fixed) EXPECT_EQ(errors.GetString(id), text) << id;
  // First, last and missing ids of the bisection.
  EXPECT_FALSE(errors.GetString(15742).empty());
  EXPECT_EQ(errors.GetString(1), "");
  EXPECT_EQ(errors.GetString(15743), "");
  EXPECT_EQ(errors.GetString(4000), "");

  TStringResource own({}, "STRTABLE_STRINGS");
  EXPECT_EQ(own.Count(), 5u);
  EXPECT_EQ(own.GetString(4), "Unable to open string resource: %s");
}

// A table written by hand, for the reader's limits.
std::string Table(const std::vector<std::pair<uint32_t, std::u16string>>& rows) {
  std::string out = "STR0";
  auto put = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
  };
  put(static_cast<uint32_t>(rows.size()));
  uint32_t off = 8 + 12 * static_cast<uint32_t>(rows.size());
  for (auto& [id, s] : rows) {
    put(id);
    put(off);
    put(static_cast<uint32_t>(s.size()));
    off += 2 * static_cast<uint32_t>(s.size());
  }
  for (auto& [id, s] : rows)
    for (char16_t c : s) {
      out += static_cast<char>(c & 0xFF);
      out += static_cast<char>(c >> 8);
    }
  return out;
}

TResourceFinder Module(const std::map<std::string, std::string>* tables) {
  return [tables](std::string_view name, std::string_view& data) {
    auto it = tables->find(std::string(name));
    if (it == tables->end()) return false;
    data = it->second;
    return true;
  };
}

TEST(StringTables, ReaderCutsWholeCharactersAndRejectsBadTables) {
  std::map<std::string, std::string> tables;
  tables["T"] = Table({{1, u"ab\u00e9cd"}, {7, u"x"}, {9, u""}});
  std::string truncated = Table({{1, u"abcdef"}});
  truncated.resize(truncated.size() - 4);  // text runs past the end
  tables["CUT"] = truncated;
  tables["MAGIC"] = "STR1" + Table({}).substr(4);
  tables["COUNT"] = Table({}).substr(0, 4) + std::string("\xff\xff\x00\x00", 4);
  TResourceFinder module = Module(&tables);

  TStringResource t(module, "T");
  EXPECT_EQ(t.GetString(1),
            "ab\xc3\xa9"
            "cd");
  char buf[5];
  EXPECT_STREQ(t.GetAsciiZ(1, buf, sizeof buf), "ab\xc3\xa9");  // 4 bytes fit
  char small[4];
  EXPECT_STREQ(t.GetAsciiZ(1, small, sizeof small), "ab");  // "é" would be split
  char16_t wide[3];
  EXPECT_EQ(std::u16string(t.GetWideChar(1, wide, 3)), u"ab");
  EXPECT_EQ(t.GetString(9), "");
  EXPECT_EQ(t.GetString(8), "");

  auto message = [&](const char* name) -> std::string {
    try {
      TStringResource r(module, name);
    } catch (const EStringResourceError& e) {
      return e.what();
    }
    return "opened";
  };
  EXPECT_EQ(message("NOPE"), "String resource not found: NOPE");
  EXPECT_EQ(message("MAGIC"), "Invalid string resource");
  EXPECT_EQ(message("COUNT"), "Invalid string resource");
  EXPECT_EQ(message("CUT"), "Invalid string resource");

  // A name the module lacks is found in the program's own resources.
  t.ChangeResource(module, "STRTABLE_STRINGS");
  EXPECT_EQ(t.GetString(1), "String not found: %d");
}

}  // namespace
}  // namespace dorv::serial
